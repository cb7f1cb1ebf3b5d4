#include "restart_test_support.h"

#include "resources/resource_ids.h"
#include "restart/win/restart_request.h"
#include "window_driver.h"

namespace {
std::atomic<DWORD> g_now{0};
}  // namespace

void SetFakeNow(DWORD ms) { g_now = ms; }
DWORD FakeNow() { return g_now; }

RestartCounter::RestartCounter() { SetRestartRequestObserverForTesting(&RestartCounter::Observe, this); }
RestartCounter::~RestartCounter() { SetRestartRequestObserverForTesting(nullptr, nullptr); }
void RestartCounter::Observe(void* context) { ++static_cast<RestartCounter*>(context)->count_; }

RestartWindowThread::RestartWindowThread(bool reRunLine) : reRunLine_(reRunLine) {
  window_.SetClock(&FakeNow);
  thread_.Reset(CreateThread(nullptr, 0, &RestartWindowThread::Main, this, 0, &threadId_));
}

RestartWindowThread::~RestartWindowThread() {
  if (!thread_) return;
  if (!ended_) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  WaitForEnd(10000);
}

DWORD WINAPI RestartWindowThread::Main(void* context) {
  auto* self = static_cast<RestartWindowThread*>(context);
  self->result_ = self->window_.Run(self->reRunLine_);
  MSG message;
  self->quitLeft_ = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  self->ended_ = true;
  return 0;
}

HWND RestartWindowThread::WaitForWindow(DWORD timeoutMs) {
  driver::WaitFor(
      [&] {
        HWND window = driver::FindDialogWithControl(IDC_REBOOT_NOW);
        if (window && IsWindowVisible(window)) handle_ = window;
        return handle_ != nullptr;
      },
      timeoutMs);
  return handle_;
}

bool RestartWindowThread::WaitForEnd(DWORD timeoutMs) {
  bool ended = driver::WaitFor([&] { return ended_.load(); }, timeoutMs);
  if (ended && thread_) WaitForSingleObject(thread_.Get(), 5000);
  return ended;
}

void RestartWindowThread::Tick() {
  if (handle_) SendMessageW(handle_, WM_TIMER, window_.CountdownTimer(), 0);
}
