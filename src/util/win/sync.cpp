#include "util/win/sync.h"

bool MutexLock::Create() {
  handle_.Reset(CreateMutexW(nullptr, FALSE, nullptr));
  held_ = false;
  return handle_.IsValid();
}

void MutexLock::Lock() {
  if (!handle_ && !Create()) return;
  WaitForSingleObject(handle_.Get(), INFINITE);
  held_ = true;
}

bool MutexLock::TryLock() {
  if (!handle_ && !Create()) return false;
  if (WaitForSingleObject(handle_.Get(), 0) != WAIT_OBJECT_0) return false;
  held_ = true;
  return true;
}

bool MutexLock::LockWithin(DWORD milliseconds) {
  if (!handle_ && !Create()) return false;
  const DWORD result = WaitForSingleObject(handle_.Get(), milliseconds);
  // An owner that ended without releasing leaves the mutex to the next one.
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return false;
  held_ = true;
  return true;
}

void MutexLock::Abandon() {
  handle_.Release();
  Create();
}

void MutexLock::Unlock() {
  if (handle_) ReleaseMutex(handle_.Get());
  held_ = false;
}

void MutexLock::Close() {
  handle_.Reset();
  held_ = false;
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
