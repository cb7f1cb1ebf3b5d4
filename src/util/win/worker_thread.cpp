#include "util/win/worker_thread.h"

#include <process.h>

#include <cstring>

namespace {

// Handed to the new thread, which owns and frees it.
struct StartBlock {
  wchar_t eventName[101];
  WorkerProcedure procedure;
  void* userValue;
  HWND notifyWindow;
};

constexpr DWORD kEndAfterNoticeMs = 2000;

unsigned __stdcall ThreadMain(void* argument) {
  auto* block = static_cast<StartBlock*>(argument);
  {
    NamedEvent stop;
    stop.Create(WideString(block->eventName));
    block->procedure(stop, block->userValue);
  }
  const HWND window = block->notifyWindow;
  delete block;
  if (window != nullptr) PostMessageW(window, kWorkerEndedMessage, 0, 0);
  return 0;
}

}  // namespace

bool WorkerThread::Start(WorkerProcedure procedure, void* userValue, DWORD stopTimeoutMs) {
  Stop();
  suspended_ = false;
  stopTimeoutMs_ = stopTimeoutMs;

  // Two threads started in the same millisecond must not share an event.
  eventName_ = WideString::Format(u"TRDEVTQ-%d", GetTickCount());
  stopEvent_.Create(eventName_);
  for (DWORD counter = 0; stopEvent_.AlreadyExisted(); ++counter) {
    eventName_ = WideString::Format(u"TRDEVTQ-%d", counter + GetTickCount() + 1);
    stopEvent_.Create(eventName_);
  }

  auto* block = new StartBlock{};
  lstrcpynW(block->eventName, eventName_.W(), 101);
  block->procedure = procedure;
  block->userValue = userValue;
  block->notifyWindow = notifyWindow_;
  uintptr_t handle = _beginthreadex(nullptr, 0, ThreadMain, block, 0, nullptr);
  if (handle == 0) {
    delete block;
    stopEvent_.Close();
    return false;
  }
  thread_.Reset(reinterpret_cast<HANDLE>(handle));
  return true;
}

bool WorkerThread::TakeEndNotice(HWND window, UINT message) const {
  if (message != kWorkerEndedMessage || window == nullptr || window != notifyWindow_) return false;
  if (thread_) WaitForSingleObject(thread_.Get(), kEndAfterNoticeMs);
  return true;
}

bool WorkerThread::IsFinished() const {
  return !thread_ || WaitForSingleObject(thread_.Get(), 0) == WAIT_OBJECT_0;
}

void WorkerThread::Stop() {
  if (!thread_) return;
  if (suspended_) {
    ResumeThread(thread_.Get());
    suspended_ = false;
  }
  stopEvent_.Set();
  DWORD started = GetTickCount();
  while (WaitForSingleObject(thread_.Get(), 25) == WAIT_TIMEOUT) {
    if (stopTimeoutMs_ == 0 || GetTickCount() - started <= stopTimeoutMs_) continue;
    if (SuspendThread(thread_.Get()) == static_cast<DWORD>(-1)) continue;
    // A suspension takes effect asynchronously: reading the thread's
    // context waits until it is held.
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(thread_.Get(), &context);
    if (busy_ != nullptr && busy_()) {
      ResumeThread(thread_.Get());
      continue;
    }
    suspended_ = true;
    break;
  }
  thread_.Reset();
  stopEvent_.Close();
}
