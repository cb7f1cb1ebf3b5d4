#pragma once
// The one-line progress display of a build on a terminal: members done of
// the total and the input rate. Safe to call from the compression threads;
// a thread that finds another one drawing skips its turn.

#include <atomic>
#include <chrono>
#include <cstdint>

class Progress {
 public:
  Progress(bool enabled, size_t totalMembers);
  void MemberDone(uint64_t bytes);
  // Ends the line (when anything was drawn).
  void Finish();

 private:
  void Draw(bool force);

  bool enabled_;
  size_t total_;
  std::atomic<size_t> done_{0};
  std::atomic<uint64_t> bytes_{0};
  std::atomic_flag drawing_ = ATOMIC_FLAG_INIT;
  std::atomic<int64_t> lastDrawMs_{-1000};
  std::chrono::steady_clock::time_point start_;
};
