#pragma once
// A lock between the threads of this process, and thin owners for a
// manual-reset event.

#include "util/wide_string.h"
#include "util/win/scoped_handle.h"

// A lock between the threads of this process. Taken again by the thread
// that holds it, it is held once more (and must be let go as often). It
// lives in this process's memory: taking and letting go of a free lock asks
// nothing of the system, which the install does for every file it places.
// A thread must not end while it holds one (nobody else could take it then).
class MutexLock {
 public:
  MutexLock() = default;
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  ~MutexLock() { Close(); }

  // Call before the lock is shared between threads: Lock and TryLock create
  // a missing lock themselves, and that creation is not synchronised.
  bool Create();
  void Lock();     // waits without limit
  bool TryLock();  // zero wait
  // Waits at most milliseconds; true (and held) when acquired.
  bool LockWithin(DWORD milliseconds);
  // Leaves the lock to a thread that holds it and may never give it back
  // (suspended): its memory is not freed under that thread, and a fresh lock
  // takes its place.
  void Abandon();
  // Lets go once; from a thread that does not hold it, nothing happens.
  void Unlock();
  void Close();
  bool IsHeld() const { return held_; }

 private:
  struct Section;
  Section* section_ = nullptr;
  bool held_ = false;
};

// Holds a MutexLock for a scope.
class MutexGuard {
 public:
  explicit MutexGuard(MutexLock& lock) : lock_(lock) { lock_.Lock(); }
  MutexGuard(const MutexGuard&) = delete;
  MutexGuard& operator=(const MutexGuard&) = delete;
  ~MutexGuard() { lock_.Unlock(); }

 private:
  MutexLock& lock_;
};

// Exclusive hold of an SRW lock for a scope.
class SrwGuard {
 public:
  explicit SrwGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~SrwGuard() { ReleaseSRWLockExclusive(&lock_); }
  SrwGuard(const SrwGuard&) = delete;
  SrwGuard& operator=(const SrwGuard&) = delete;

 private:
  SRWLOCK& lock_;
};

class NamedEvent {
 public:
  NamedEvent() = default;
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  // Manual-reset, not signalled; an empty name makes an unnamed event.
  // Closes a previous handle first. AlreadyExisted() tells whether another
  // holder had the name.
  bool Create(const WideString& name);
  bool IsSignalled() const;
  bool Set();
  bool Reset();
  void Close();
  bool AlreadyExisted() const { return alreadyExisted_; }
  HANDLE Handle() const { return handle_.Get(); }

 private:
  ScopedKernelHandle handle_;
  bool alreadyExisted_ = false;
};
