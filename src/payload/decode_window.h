#pragma once
// How far member decoding may run ahead of the placement of files. Members
// decoded ahead wait in temporary files until the install worker takes them,
// so the window bounds the temporary disk space (memory is bounded by the
// number of decoding threads: each holds one dictionary and one output
// buffer, whatever the member sizes).
//
// A member is held from the moment its decoding starts until the worker has
// taken it (or it was dropped and its decoding has ended). Both limits hold
// at all times, except that a member larger than the byte limit may start
// when nothing else is held: it then waits alone.

#include <cstddef>
#include <cstdint>

// Bytes are what bound the disk. The member count is generous: the decoding
// threads have to get through a long run of small members well ahead of the
// worker, so that the large members behind them are decoded while the worker
// still places the small ones (measured: a window of 64 members made the
// benchmark's install half again as slow as one of 1024).
struct DecodeWindowLimits {
  size_t members = 1024;
  uint64_t bytes = uint64_t(128) << 20;
  // Of the bytes, how much small members may hold in memory instead of in
  // temporary files (see DecodeAhead): writing a small file and reading it
  // back costs more than decoding it.
  uint64_t memory = uint64_t(16) << 20;
};

class DecodeWindow {
 public:
  explicit DecodeWindow(const DecodeWindowLimits& limits) : limits_(limits) {}

  // True when a member that declares bytes of output may start now.
  bool MayStart(uint64_t bytes) const;
  // The same by the byte limit alone, for a large member that starts ahead
  // of small ones whose count fills the window.
  bool MayStartLarge(uint64_t bytes) const;
  void Started(uint64_t bytes);
  // The member has been taken, or dropped and no longer decoded.
  void Released(uint64_t bytes);

  size_t HeldMembers() const { return members_; }
  uint64_t HeldBytes() const { return bytes_; }
  // The most held at once so far.
  size_t PeakMembers() const { return peakMembers_; }
  uint64_t PeakBytes() const { return peakBytes_; }

 private:
  DecodeWindowLimits limits_;
  size_t members_ = 0;
  uint64_t bytes_ = 0;
  size_t peakMembers_ = 0;
  uint64_t peakBytes_ = 0;
};
