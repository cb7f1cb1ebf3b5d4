#pragma once
// Helpers for the restart tests: a restart observer in place of Windows, a
// clock that moves only when told, and the restart window run on a thread
// of its own (as the install's finish thread runs it) so that the test
// thread can drive it.

#include <atomic>

#include "restart/win/rebooting_window.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

// Counts restart requests while it lives; Windows is never asked.
class RestartCounter {
 public:
  RestartCounter();
  ~RestartCounter();
  RestartCounter(const RestartCounter&) = delete;
  RestartCounter& operator=(const RestartCounter&) = delete;
  int Count() const { return count_; }

 private:
  static void Observe(void* context);
  std::atomic<int> count_{0};
};

// The fake tick count that the windows under test read.
void SetFakeNow(DWORD ms);
DWORD FakeNow();

class RestartWindowThread {
 public:
  // Starts dlgRebooting::Run(reRunLine) with the fake clock.
  explicit RestartWindowThread(bool reRunLine);
  // Ends a window still open (a quit to its thread) and waits for the thread.
  ~RestartWindowThread();
  RestartWindowThread(const RestartWindowThread&) = delete;
  RestartWindowThread& operator=(const RestartWindowThread&) = delete;

  // The restart window once it is visible; null after timeoutMs.
  HWND WaitForWindow(DWORD timeoutMs = 5000);
  // True when Run has returned within timeoutMs (the test thread pumps).
  bool WaitForEnd(DWORD timeoutMs);
  bool Ended() const { return ended_; }
  bool Result() const { return result_; }
  // A WM_QUIT was still waiting in the thread's queue after Run returned.
  bool QuitLeftBehind() const { return quitLeft_; }
  dlgRebooting& Window() { return window_; }
  // One countdown tick now, as the window's timer would deliver it.
  void Tick();

 private:
  static DWORD WINAPI Main(void* context);
  dlgRebooting window_;
  bool reRunLine_;
  HWND handle_ = nullptr;
  DWORD threadId_ = 0;
  ScopedKernelHandle thread_;
  std::atomic<bool> ended_{false};
  std::atomic<bool> result_{false};
  std::atomic<bool> quitLeft_{false};
};
