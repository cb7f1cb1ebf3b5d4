#include "payload/win/decode_ahead.h"

#include <process.h>

#include <algorithm>
#include <new>

#include "app/install_state.h"
#include "util/win/file_system.h"
#include "util/win/sync.h"

namespace {

// How long the worker sleeps between two looks at its stop conditions while
// it waits for a member.
constexpr DWORD kWaitSliceMs = 50;
// How often the threads ask the kernel about the worker's stop event; the
// flags are looked at between every two pieces of output.
constexpr DWORD kEventCheckMs = 50;
// Members from this size on are decoded ahead of the order (NextJob).
constexpr uint64_t kLargeMember = uint64_t(1) << 20;

int ProcessorCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return std::max(1, static_cast<int>(info.dwNumberOfProcessors));
}

DecodeEndHook g_decodeEndHook = nullptr;

}  // namespace

void SetDecodeEndHookForTests(DecodeEndHook hook) { g_decodeEndHook = hook; }

size_t DecodeAhead::HeldMembers() {
  SrwGuard guard(lock_);
  return window_.HeldMembers();
}

DecodeAhead::DecodeAhead(PayloadArchive& archive, const NamedEvent* stopEvent, const DecodeWindowLimits& limits)
    : archive_(archive),
      stopEvent_(stopEvent),
      window_(limits),
      outOfOrderRoom_(limits.bytes / 2),
      memoryRoom_(std::min(limits.memory, limits.bytes)) {}

void DecodeAhead::Start(const std::vector<PlannedMember>& plan, int threads) {
  if (!jobs_.empty() || !threads_.empty()) return;
  try {
    jobs_.reserve(plan.size());
    startOrder_.reserve(plan.size());
    for (const PlannedMember& planned : plan) {
      auto job = std::make_unique<Job>();
      job->name = planned.name;
      job->folder = planned.folder;
      archive_.CollectEntries(planned.name, job->member);
      job->bytes = job->member.DeclaredSize();
      job->index = jobs_.size();
      for (const PayloadEntry& entry : job->member.entries) job->packedBytes += entry.packedSize;
      if (job->bytes >= kLargeMember) largeJobs_.push_back(job->index);
      jobs_.push_back(std::move(job));
    }
    // Costliest first; of equal cost, the earlier in the plan.
    std::sort(largeJobs_.begin(), largeJobs_.end(), [this](size_t a, size_t b) {
      return jobs_[a]->packedBytes != jobs_[b]->packedBytes ? jobs_[a]->packedBytes > jobs_[b]->packedBytes : a < b;
    });
  } catch (const std::bad_alloc&) {
    // No plan: every member is then extracted directly.
    jobs_.clear();
    largeJobs_.clear();
    return;
  }
  if (jobs_.empty()) return;
  const int count = std::min<int>(threads > 0 ? threads : std::min(ProcessorCount(), kMaxDecodeThreads),
                                  static_cast<int>(jobs_.size()));
  // Every thread is made before any of them runs: they all choose their
  // members by the number of threads (NextJob).
  SrwGuard guard(lock_);
  threads_.reserve(count);
  for (int i = 0; i < count; ++i) {
    const uintptr_t handle = _beginthreadex(nullptr, 0, &DecodeAhead::ThreadMain, this, 0, nullptr);
    if (handle == 0) break;
    threads_.emplace_back(reinterpret_cast<HANDLE>(handle));
  }
  running_ = threads_.size();
}

unsigned __stdcall DecodeAhead::ThreadMain(void* self) {
  static_cast<DecodeAhead*>(self)->DecodeLoop();
  return 0;
}

bool DecodeAhead::StopAsked(DWORD& lastEventCheck) {
  if (stopping_.load() || eventSeen_.load() || State().InstallFailed) return true;
  // The event costs a call into the kernel: not for every piece of output.
  if (stopEvent_ == nullptr || GetTickCount() - lastEventCheck < kEventCheckMs) return false;
  lastEventCheck = GetTickCount();
  if (!stopEvent_->IsSignalled()) return false;
  eventSeen_ = true;  // for every caller from now on, however recently it looked
  return true;
}

bool DecodeAhead::CancelRequested(void* context) {
  const auto* cancel = static_cast<CancelContext*>(context);
  return cancel->job->abandoned.load() || cancel->self->StopAsked(cancel->job->lastEventCheck);
}

DecodeAhead::Job* DecodeAhead::CostliestLargeJob() {
  while (largeCursor_ < largeJobs_.size() && jobs_[largeJobs_[largeCursor_]]->state != JobState::Waiting) {
    ++largeCursor_;
  }
  for (size_t i = largeCursor_; i < largeJobs_.size(); ++i) {
    Job& job = *jobs_[largeJobs_[i]];
    if (job.state != JobState::Waiting || largeJobs_[i] == nextToStart_) continue;
    // Half the window at most: the members in order need the rest.
    if (window_.MayStartLarge(job.bytes) && job.bytes <= outOfOrderRoom_ &&
        outOfOrderBytes_ <= outOfOrderRoom_ - job.bytes) {
      return &job;
    }
  }
  return nullptr;
}

DecodeAhead::Job* DecodeAhead::NextJob() {
  while (nextToStart_ < jobs_.size() && jobs_[nextToStart_]->state != JobState::Waiting) ++nextToStart_;
  if (nextToStart_ == jobs_.size()) return nullptr;
  // A run of small members costs little each; a large member costs its whole
  // decoding time at once, and the worker waits for all of it if it starts
  // only when the worker gets near. So every thread but one takes the large
  // members first, the costliest (most packed bytes) first, within half of
  // the window; the remaining thread stays with the members in order.
  Job* job = nullptr;
  if (outOfOrder_ + 1 < threads_.size()) job = CostliestLargeJob();
  if (job == nullptr) {
    job = jobs_[nextToStart_].get();
    // The member the worker waits for always starts: nothing it holds can
    // be taken before it.
    if (nextToStart_ + 1 != nextToTake_ && !window_.MayStart(job->bytes)) return nullptr;
  } else {
    job->outOfOrder = true;
    ++outOfOrder_;
    outOfOrderBytes_ += job->bytes;
  }
  job->state = JobState::Decoding;
  window_.Started(job->bytes);
  startOrder_.push_back(job->index);
  job->inMemory = memoryRoom_ > 0 && job->bytes <= kMemoryMember && job->bytes <= memoryRoom_ &&
                  memoryBytes_ <= memoryRoom_ - job->bytes;
  if (job->inMemory) memoryBytes_ += job->bytes;
  return job;
}

void DecodeAhead::Release(Job& job) {
  window_.Released(job.bytes);
  if (job.inMemory) memoryBytes_ -= std::min(memoryBytes_, job.bytes);
  if (job.outOfOrder) outOfOrderBytes_ -= std::min(outOfOrderBytes_, job.bytes);
}

void DecodeAhead::DecodeLoop() {
  DWORD lastEventCheck = 0;
  for (;;) {
    Job* job = nullptr;
    {
      SrwGuard guard(lock_);
      for (;;) {
        if (StopAsked(lastEventCheck)) {
          DropUntaken();
          --running_;
          return;
        }
        job = NextJob();
        if (job != nullptr) break;
        // Everything started: the last thread stays until the worker has
        // taken every member, to clear up after a stop.
        if (nextToStart_ == jobs_.size() && (running_ > 1 || nextToTake_ == jobs_.size())) {
          --running_;
          return;
        }
        // Nothing may start before the worker takes a member: woken then,
        // or after a while to look at the stop conditions again.
        SleepConditionVariableSRW(&changed_, &lock_, kWaitSliceMs, 0);
      }
    }
    Decode(*job);
  }
}

void DecodeAhead::Decode(Job& job) {
  PreparedMember& prepared = job.prepared;
  prepared.sourcePath = job.member.sourcePath;
  CancelContext context{this, &job};
  const DecodeCancel cancel{&DecodeAhead::CancelRequested, &context};
  if (job.inMemory) {
    try {
      DecodeEntriesToMemory(job.member, prepared.bytes, prepared.report);
    } catch (const std::bad_alloc&) {
      // As DecodeEntries reports a member that does not fit in memory.
      prepared.report.failures.push_back(DecodeFailure::Write);
    }
    prepared.inMemory = true;
    prepared.headSize = static_cast<int>(std::min(prepared.bytes.size(), sizeof(prepared.head)));
    std::copy(prepared.bytes.begin(), prepared.bytes.begin() + prepared.headSize, prepared.head);
    if (prepared.report.extracted && prepared.MayCarryVersion()) MoveIntoFolder(prepared, job.folder, &madeFolders_);
  } else if (!cancel.Requested()) {
    DecodeIntoFolder(job.member, job.folder, &cancel, &madeFolders_, prepared);
  }
  const bool stopped = cancel.Requested() || prepared.report.cancelled;
  if (g_decodeEndHook != nullptr) g_decodeEndHook(job.index);
  bool unwanted = false;
  {
    SrwGuard guard(lock_);
    if (job.outOfOrder) --outOfOrder_;
    job.file = prepared.file;
    // Dropped by the worker while it ended: asked again under the lock,
    // which the worker holds while it drops members.
    if (!stopped && !job.abandoned.load()) {
      ++decoded_;
      job.state = JobState::Ready;
    } else {
      // Nobody will take it.
      job.state = JobState::Dropped;
      Release(job);
      unwanted = true;
      job.file.Clear();
      std::vector<uint8_t>().swap(prepared.bytes);
    }
  }
  WakeAllConditionVariable(&changed_);
  // Nobody takes a dropped job: its file is this thread's to delete.
  if (unwanted) DeletePreparedFile(prepared);
}

void DecodeAhead::HandBack(PreparedMember& member) {
  WideString made;
  {
    SrwGuard guard(lock_);
    if (member.planIndex < jobs_.size()) {
      made = std::move(jobs_[member.planIndex]->file);
      jobs_[member.planIndex]->file.Clear();
    }
  }
  if (member.handle || member.fileMoved) {
    DeletePreparedFile(member);
  } else if (!made.IsEmpty()) {
    DeleteFileForced(made);
  }
  member.file.Clear();
}

void DecodeAhead::DropUntaken() {
  for (const std::unique_ptr<Job>& job : jobs_) {
    if (job->state == JobState::Taken) continue;
    Drop(*job);
  }
}

void DecodeAhead::Drop(Job& job) {
  switch (job.state) {
    case JobState::Waiting:
      job.state = JobState::Dropped;  // never starts, never held
      break;
    case JobState::Decoding:
      job.abandoned = true;  // its thread deletes the file and releases it
      break;
    case JobState::Ready:
      DeletePreparedFile(job.prepared);
      job.file.Clear();
      std::vector<uint8_t>().swap(job.prepared.bytes);
      job.state = JobState::Dropped;
      Release(job);
      break;
    case JobState::Taken:
    case JobState::Dropped:
      break;
  }
}

TakeResult DecodeAhead::TakeMember(const WideString& name, PreparedMember& out) {
  if (threads_.empty()) return TakeResult::NotPlanned;
  Job* job = nullptr;
  {
    SrwGuard guard(lock_);
    size_t index = nextToTake_;
    while (index < jobs_.size() && !(jobs_[index]->name == name)) ++index;
    if (index == jobs_.size()) return TakeResult::NotPlanned;
    for (size_t skipped = nextToTake_; skipped < index; ++skipped) Drop(*jobs_[skipped]);
    nextToTake_ = index + 1;
    job = jobs_[index].get();
  }
  // Dropping may have made room for other members to start.
  WakeAllConditionVariable(&changed_);

  SrwGuard guard(lock_);
  DWORD lastEventCheck = GetTickCount();
  while (job->state != JobState::Ready) {
    if (job->state == JobState::Dropped || StopAsked(lastEventCheck)) return TakeResult::Stopped;
    SleepConditionVariableSRW(&changed_, &lock_, kWaitSliceMs, 0);
  }
  out = std::move(job->prepared);
  out.planIndex = job->index;
  job->state = JobState::Taken;
  Release(*job);
  WakeAllConditionVariable(&changed_);
  // A member that could not be written ahead (the disk full with the
  // members waiting, most likely) is extracted at its turn, as it would
  // have been without decoding ahead.
  const bool wrote = out.report.extracted ||
                     std::find(out.report.failures.begin(), out.report.failures.end(), DecodeFailure::Write) ==
                         out.report.failures.end();
  if (wrote) return TakeResult::Taken;
  job->file.Clear();
  DeletePreparedFile(out);
  out = PreparedMember();
  return TakeResult::Retry;
}

void DecodeAhead::Stop() {
  {
    SrwGuard guard(lock_);
    stopping_ = true;
  }
  WakeAllConditionVariable(&changed_);
  for (ScopedKernelHandle& thread : threads_) WaitForSingleObject(thread.Get(), INFINITE);
  threads_.clear();
  for (const std::unique_ptr<Job>& job : jobs_) {
    if (job->prepared.handle) {
      DeletePreparedFile(job->prepared);
    } else if (!job->file.IsEmpty()) {
      DeleteFileForced(job->file);
    }
  }
  jobs_.clear();
  largeJobs_.clear();
  madeFolders_.RemoveEmpty();
}
