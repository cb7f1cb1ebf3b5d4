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
