#include <gtest/gtest.h>

#include <atomic>

#include "util/win/pump_messages.h"
#include "util/win/worker_thread.h"

namespace {

void PoliteWorker(NamedEvent& stop, void* value) {
  auto* loops = static_cast<std::atomic<int>*>(value);
  while (!stop.IsSignalled()) {
    ++*loops;
    Sleep(5);
  }
}

void StubbornWorker(NamedEvent&, void* value) {
  auto* running = static_cast<std::atomic<bool>*>(value);
  *running = true;
  for (;;) Sleep(10);  // never looks at its stop event
}

void SlowWorker(NamedEvent&, void* value) {
  Sleep(300);
  *static_cast<std::atomic<bool>*>(value) = true;
}

}  // namespace

TEST(WorkerThread, StopSignalsTheEventAndWaits) {
  std::atomic<int> loops{0};
  WorkerThread thread;
  EXPECT_TRUE(thread.IsFinished());
  ASSERT_TRUE(thread.Start(PoliteWorker, &loops, 60000));
  EXPECT_TRUE(thread.EventName().StartsWith(WideString(u"TRDEVTQ-")));
  while (loops < 3) Sleep(5);
  EXPECT_FALSE(thread.IsFinished());
  thread.Stop();
  EXPECT_TRUE(thread.IsFinished());
  EXPECT_FALSE(thread.WasSuspended());
}

TEST(WorkerThread, IgnoringProcedureIsSuspendedAfterTheTimeout) {
  std::atomic<bool> running{false};
  WorkerThread thread;
  ASSERT_TRUE(thread.Start(StubbornWorker, &running, 200));
  while (!running) Sleep(5);
  HANDLE duplicate = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread.ThreadHandle(), GetCurrentProcess(), &duplicate, 0,
                              FALSE, DUPLICATE_SAME_ACCESS));
  DWORD before = GetTickCount();
  thread.Stop();
  DWORD took = GetTickCount() - before;
  EXPECT_TRUE(thread.WasSuspended());
  EXPECT_GE(took, 150u);
  EXPECT_LT(took, 5000u);
  // Still alive (suspended), not terminated.
  EXPECT_EQ(WaitForSingleObject(duplicate, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(duplicate);
}

TEST(WorkerThread, ZeroTimeoutWaitsForTheProcedure) {
  std::atomic<bool> done{false};
  WorkerThread thread;
  ASSERT_TRUE(thread.Start(SlowWorker, &done, 0));
  thread.Stop();
  EXPECT_TRUE(done);
  EXPECT_FALSE(thread.WasSuspended());
}

TEST(WorkerThread, TwoStartedTogetherGetDifferentEventNames) {
  std::atomic<int> a{0}, b{0};
  WorkerThread first, second;
  ASSERT_TRUE(first.Start(PoliteWorker, &a, 60000));
  ASSERT_TRUE(second.Start(PoliteWorker, &b, 60000));
  EXPECT_NE(first.EventName(), second.EventName());
  // Each stop event reaches its own thread only.
  first.Stop();
  int before = b;
  Sleep(50);
  EXPECT_GT(b.load(), before);
  second.Stop();
}

TEST(PumpMessages, QuitStopsDispatching) {
  bool quit = false;
  PostQuitMessage(0);
  EXPECT_FALSE(PumpMessages(quit));
  EXPECT_TRUE(quit);
  quit = false;
  EXPECT_TRUE(PumpMessages(quit));
}

TEST(WorkerThread, TheWindowToldHearsOfTheEndAfterTheProcedureReturned) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  std::atomic<bool> done{false};
  WorkerThread thread;
  thread.NotifyWhenEnded(window);
  ASSERT_TRUE(thread.Start(SlowWorker, &done, 60000));
  MSG message{};
  bool heard = false;
  for (int waited = 0; !heard && waited < 5000; waited += 10) {
    heard = PeekMessageW(&message, window, kWorkerEndedMessage, kWorkerEndedMessage, PM_REMOVE) != FALSE;
    if (!heard) Sleep(10);
  }
  ASSERT_TRUE(heard);
  EXPECT_TRUE(done);
  EXPECT_FALSE(thread.TakeEndNotice(nullptr, message.message)) << "another window's message";
  EXPECT_FALSE(thread.TakeEndNotice(window, WM_TIMER));
  EXPECT_TRUE(thread.TakeEndNotice(window, message.message));
  EXPECT_TRUE(thread.IsFinished()) << "the notice waits for the thread's end";
  DestroyWindow(window);
}
