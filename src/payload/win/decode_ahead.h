#pragma once
// Decoding of the members that the install worker will place, ahead of it,
// on threads of their own (LZMA members are independent streams). The
// worker still takes them one by one in script order and does everything
// else - placement, version comparison, messages, progress - itself: a
// member whose decoding failed has its messages shown when the worker takes
// it, not when the failure happened.
//
// Small members (kMemoryMember bytes or fewer) are held in memory while
// those held stay within DecodeWindowLimits::memory, unless their first
// bytes say they may carry a version resource: reading that takes a file.
//
// Bounds: at most kMaxDecodeThreads threads decode at once, each holding
// one decoder dictionary and one output buffer (decompress_file.cpp), so the
// memory does not grow with the member sizes. Decoded members wait in
// temporary files in their destinations' folders (destination_files.h),
// which placing renames into place; at most DecodeWindowLimits of them
// (payload/decode_window.h: 1024 members and 128 MiB by default) plus the
// one the worker is placing and the one it waits for. Members of 1 MiB or
// more are decoded first, the costliest first, by every thread but one,
// within half of the byte limit (and by the byte limit alone, so a window
// full of small members does not hold them back). A file the worker hands
// back is deleted at once, so the window bounds the disk space as well.
//
// Cleaning up: Stop deletes every file the decoders made. A worker that is
// suspended after its stop time-out never gets to Stop, so the decoders
// delete the files of the members nobody took as soon as they see the stop
// (one thread stays for that until the worker has taken every member); only
// the file the worker holds is left to it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "payload/decode_window.h"
#include "payload/win/destination_files.h"
#include "payload/win/payload_archive.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/sync.h"
#include "util/win/windows_api.h"

constexpr int kMaxDecodeThreads = 3;
constexpr uint64_t kMemoryMember = uint64_t(1) << 20;

// A member the worker will take: its name (as ExtractTo takes it) and the
// folder it is decoded into (the destination's, macros expanded; empty: the
// Windows temporary folder).
struct PlannedMember {
  WideString name;
  WideString folder;
};

enum class [[nodiscard]] TakeResult {
  Taken,       // out holds the member
  NotPlanned,  // not among the members still ahead: extract it directly
  Stopped,     // the stop event or State().InstallFailed came first
  // Its decoding ahead could not be written (a full disk, most likely):
  // extract it directly, now that the members before it are placed.
  Retry,
};

// Tests only: called on the decoding thread once a member's decoding has
// ended, before the outcome is published (nullptr: no call).
using DecodeEndHook = void (*)(size_t planIndex);
void SetDecodeEndHookForTests(DecodeEndHook hook);

class DecodeAhead {
 public:
  // stopEvent (may be null) is the worker's: it and State().InstallFailed
  // stop the decoding and the waiting.
  DecodeAhead(PayloadArchive& archive, const NamedEvent* stopEvent, const DecodeWindowLimits& limits = {});
  ~DecodeAhead() { Stop(); }
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;

  // Plans the members in the order the worker will take them, and starts
  // the decoding threads: threads of them, or one per processor (at most
  // kMaxDecodeThreads) when threads is 0. A name without entries is planned
  // as well; it is taken as not extracted. Call once, before the first
  // TakeMember.
  void Start(const std::vector<PlannedMember>& plan, int threads = 0);

  // The next planned member of the name (compared exactly), once decoded.
  // Planned members before it that were never asked for are dropped. A name
  // that is not planned ahead, or any name when no thread could be started,
  // gives NotPlanned.
  TakeResult TakeMember(const WideString& name, PreparedMember& out);

  // Hands a taken member back: its temporary file is deleted, unless
  // placing moved it (fileMoved). Clears file.
  void HandBack(PreparedMember& member);

  // Stops the threads (a member being decoded stops between two pieces of
  // output), waits for them and deletes every temporary file they made (a
  // taken member's only once its taker has closed its handle: until then
  // it is the taker's, which DeletePreparedFile deletes), and then the
  // folders made for them that are left empty.
  void Stop();

  // The most members and declared bytes held at once (for tests).
  size_t PeakMembers() const { return window_.PeakMembers(); }
  size_t HeldMembers();
  uint64_t PeakBytes() const { return window_.PeakBytes(); }
  int ThreadCount() const { return static_cast<int>(threads_.size()); }
  // Members whose decoding ran to its end (for tests).
  int DecodedMembers() const { return decoded_.load(); }
  // The plan positions of the members in the order their decoding started
  // (for tests; read once the threads are done).
  const std::vector<size_t>& StartOrder() const { return startOrder_; }

 private:
  enum class JobState : uint8_t { Waiting, Decoding, Ready, Taken, Dropped };
  struct Job {
    WideString name;
    WideString folder;
    MemberEntries member;
    size_t index = 0;  // in the plan
    uint64_t bytes = 0;
    uint64_t packedBytes = 0;  // what decoding it costs, roughly
    JobState state = JobState::Waiting;
    std::atomic<bool> abandoned{false};
    DWORD lastEventCheck = 0;
    bool outOfOrder = false;
    bool inMemory = false;
    PreparedMember prepared;
    WideString file;  // the temporary file made for it, until deleted or handed back
  };
  struct CancelContext {
    DecodeAhead* self;
    Job* job;
  };

  static unsigned __stdcall ThreadMain(void* self);
  static bool CancelRequested(void* context);
  // True once decoding and waiting are to end: Stop, State().InstallFailed
  // or the stop event (asked of the kernel at most every kEventCheckMs per
  // caller, lastEventCheck being the caller's).
  bool StopAsked(DWORD& lastEventCheck);
  void DecodeLoop();
  // Under lock_: every member not taken is dropped and its file deleted.
  void DropUntaken();
  // Under lock_: the next job a thread may start, or null to wait.
  Job* NextJob();
  // Under lock_: the waiting large member with the most packed bytes that
  // may start ahead of the order now, or null.
  Job* CostliestLargeJob();
  // Under lock_: the job no longer held in the window.
  void Release(Job& job);
  void Decode(Job& job);
  void Drop(Job& job);

  PayloadArchive& archive_;
  const NamedEvent* stopEvent_;
  DecodeWindow window_;
  std::vector<std::unique_ptr<Job>> jobs_;
  std::vector<ScopedKernelHandle> threads_;
  size_t running_ = 0;  // threads in DecodeLoop
  MadeFolders madeFolders_;  // made for the members' files ahead of the worker
  size_t nextToStart_ = 0;
  size_t nextToTake_ = 0;
  size_t outOfOrder_ = 0;  // threads decoding a member out of order
  std::vector<size_t> largeJobs_;  // plan positions of the large members, costliest first
  size_t largeCursor_ = 0;         // the ones before it have all started
  uint64_t outOfOrderRoom_;        // bytes the members started out of order may hold
  uint64_t outOfOrderBytes_ = 0;   // what they hold now
  uint64_t memoryRoom_;            // bytes the members held in memory may hold
  uint64_t memoryBytes_ = 0;       // what they hold now
  std::vector<size_t> startOrder_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> eventSeen_{false};
  std::atomic<int> decoded_{0};
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
};
