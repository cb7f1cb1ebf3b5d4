#pragma once
// A thread with its own named stop event. Stop() sets the event and waits;
// a thread that has not returned when the stop time-out runs out is
// suspended, never terminated, unless it is inside a stretch that must run
// to its end (KeepRunningWhile): then it goes on, and is suspended once it
// is out of it.

#include <cstdint>

#include "util/wide_string.h"
#include "util/win/sync.h"

// The procedure must test stopEvent.IsSignalled() at its loop points and
// return when it is set.
using WorkerProcedure = void (*)(NamedEvent& stopEvent, void* userValue);

constexpr UINT kWorkerEndedMessage = WM_APP + 41;

class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  ~WorkerThread() { Stop(); }

  // Stops a thread still running, then starts a new one. stopTimeoutMs 0
  // means Stop() waits without limit. False when no thread could be started.
  bool Start(WorkerProcedure procedure, void* userValue, DWORD stopTimeoutMs);
  // busy() tells, while the thread is held still, whether it is inside
  // such a stretch (nullptr: never).
  void KeepRunningWhile(bool (*busy)()) { busy_ = busy; }
  // For the threads started from now on: once the procedure has returned,
  // kWorkerEndedMessage is posted to window (its thread then still has to
  // end: ThreadHandle() is signalled a moment later). A window that polls
  // IsFinished on a timer hears of the end at once instead.
  void NotifyWhenEnded(HWND window) { notifyWindow_ = window; }
  // True when message, to window, is that notice: the thread has then ended
  // too, or is left to end for two seconds at most, so that IsFinished()
  // tells.
  bool TakeEndNotice(HWND window, UINT message) const;
  // True when no thread exists or it has ended.
  bool IsFinished() const;
  void Stop();

  bool WasSuspended() const { return suspended_; }
  const WideString& EventName() const { return eventName_; }
  HANDLE ThreadHandle() const { return thread_.Get(); }

 private:
  ScopedKernelHandle thread_;
  NamedEvent stopEvent_;
  WideString eventName_;
  DWORD stopTimeoutMs_ = 0;
  bool suspended_ = false;
  bool (*busy_)() = nullptr;
  HWND notifyWindow_ = nullptr;
};
