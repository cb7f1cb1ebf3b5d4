#include <gtest/gtest.h>

#include "util/win/scoped_handle.h"
#include "util/win/sync.h"

TEST(ScopedHandle, MovedFromOwnerClosesNothing) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  ScopedKernelHandle first(raw);
  ScopedKernelHandle second(std::move(first));
  EXPECT_FALSE(first.IsValid());
  first.Reset();  // must not close raw
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(raw, &flags));
  second.Reset();
  EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(NamedEvent, SameNameIsSharedAndReported) {
  NamedEvent a, b;
  ASSERT_TRUE(a.Create(WideString(u"PloveTestEvent-shared")));
  EXPECT_FALSE(a.AlreadyExisted());
  ASSERT_TRUE(b.Create(WideString(u"PloveTestEvent-shared")));
  EXPECT_TRUE(b.AlreadyExisted());
  EXPECT_FALSE(b.IsSignalled());
  a.Set();
  EXPECT_TRUE(b.IsSignalled());
}

TEST(MutexLock, TryLockFromAnotherThreadFailsWhileHeld) {
  MutexLock lock;
  ASSERT_TRUE(lock.Create());
  lock.Lock();
  EXPECT_TRUE(lock.IsHeld());
  struct Probe {
    static DWORD WINAPI Run(void* p) { return static_cast<MutexLock*>(p)->TryLock() ? 1 : 0; }
  };
  HANDLE thread = CreateThread(nullptr, 0, Probe::Run, &lock, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 2;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  EXPECT_EQ(code, 0u);
  lock.Unlock();
  EXPECT_FALSE(lock.IsHeld());
}

namespace {

// Holds the lock on a thread of its own until told to let go.
struct Holder {
  MutexLock* lock;
  HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = nullptr;
  explicit Holder(MutexLock& l) : lock(&l) {
    thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    WaitForSingleObject(taken, 5000);
  }
  ~Holder() {
    SetEvent(letGo);
    WaitForSingleObject(thread, 5000);
    for (HANDLE h : {taken, letGo, thread}) CloseHandle(h);
  }
  static DWORD WINAPI Run(void* p) {
    auto* self = static_cast<Holder*>(p);
    self->lock->Lock();
    SetEvent(self->taken);
    WaitForSingleObject(self->letGo, INFINITE);
    self->lock->Unlock();
    return 0;
  }
};

bool TryLockElsewhere(MutexLock& lock) {
  struct Probe {
    static DWORD WINAPI Run(void* p) {
      auto* l = static_cast<MutexLock*>(p);
      if (!l->TryLock()) return 0;
      l->Unlock();
      return 1;
    }
  };
  HANDLE thread = CreateThread(nullptr, 0, Probe::Run, &lock, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 2;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code == 1;
}

}  // namespace

TEST(MutexLock, HeldAgainByItsThreadBoundedWaitsAndAbandon) {
  MutexLock lock;
  ASSERT_TRUE(lock.Create());
  // Taken twice by one thread, it is free once let go twice.
  lock.Lock();
  EXPECT_TRUE(lock.TryLock());
  lock.Unlock();
  EXPECT_FALSE(TryLockElsewhere(lock));
  lock.Unlock();
  EXPECT_TRUE(TryLockElsewhere(lock));
  {
    Holder holder(lock);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(lock.LockWithin(60));
    EXPECT_GE(GetTickCount() - start, 50u);
    // Given up on: a fresh lock, which the holder's letting go leaves alone.
    lock.Abandon();
    EXPECT_TRUE(lock.LockWithin(60));
  }
  EXPECT_FALSE(TryLockElsewhere(lock)) << "still this thread's";
  lock.Unlock();
  EXPECT_TRUE(TryLockElsewhere(lock));
}
