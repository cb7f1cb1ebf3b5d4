#include "util/win/sync.h"

#include <new>

struct MutexLock::Section {
  CRITICAL_SECTION section;
};

namespace {

// A holder lets go within microseconds: a short spin before sleeping saves
// the waiter a trip through the system on two processors.
constexpr DWORD kSpinCount = 1000;

}  // namespace

bool MutexLock::Create() {
  Close();
  section_ = new (std::nothrow) Section;
  if (section_ == nullptr) return false;
  InitializeCriticalSectionAndSpinCount(&section_->section, kSpinCount);
  return true;
}

void MutexLock::Lock() {
  if (section_ == nullptr && !Create()) return;
  EnterCriticalSection(&section_->section);
  held_ = true;
}

bool MutexLock::TryLock() {
  if (section_ == nullptr && !Create()) return false;
  if (!TryEnterCriticalSection(&section_->section)) return false;
  held_ = true;
  return true;
}

bool MutexLock::LockWithin(DWORD milliseconds) {
  if (section_ == nullptr && !Create()) return false;
  const DWORD start = GetTickCount();
  while (!TryEnterCriticalSection(&section_->section)) {
    if (milliseconds != INFINITE && GetTickCount() - start >= milliseconds) return false;
    Sleep(1);
  }
  held_ = true;
  return true;
}

void MutexLock::Abandon() {
  section_ = nullptr;  // the holder's to keep
  held_ = false;
  Create();
}

void MutexLock::Unlock() {
  // A thread that held the lock before Abandon lets go of nothing here: the
  // fresh lock is not its own.
  const HANDLE me = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
  if (section_ != nullptr && section_->section.OwningThread == me) LeaveCriticalSection(&section_->section);
  held_ = false;
}

void MutexLock::Close() {
  held_ = false;
  if (section_ == nullptr) return;
  // Held by another thread (one suspended in it): left to that thread.
  if (TryEnterCriticalSection(&section_->section)) {
    LeaveCriticalSection(&section_->section);
    DeleteCriticalSection(&section_->section);
    delete section_;
  }
  section_ = nullptr;
}

bool NamedEvent::Create(const WideString& name) {
  handle_.Reset();
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.IsEmpty() ? nullptr : name.W());
  const DWORD error = GetLastError();  // before anything else can touch it
  handle_.Reset(event);
  alreadyExisted_ = event != nullptr && error == ERROR_ALREADY_EXISTS;
  return handle_.IsValid();
}

bool NamedEvent::IsSignalled() const {
  return handle_.IsValid() && WaitForSingleObject(handle_.Get(), 0) == WAIT_OBJECT_0;
}

bool NamedEvent::Set() { return handle_.IsValid() && SetEvent(handle_.Get()); }
bool NamedEvent::Reset() { return handle_.IsValid() && ResetEvent(handle_.Get()); }
void NamedEvent::Close() { handle_.Reset(); }
