#pragma once
// The process that started this one, watched so that a wait for it to act
// can end when it has gone.

#include "util/win/windows_api.h"

enum class ParentStatus {
  Running,  // still there
  Ended,    // gone (or already gone when it was looked up)
  Unknown,  // could not be watched, for example no access
};

// Looks the parent up once per process (first call) and keeps a
// synchronisation handle to it.
void WatchParentProcess();

// The process that started this one, opened with access (and the right to
// ask when it started); null when it has ended, its number now names a
// newer process, or it cannot be opened. The caller closes the handle.
HANDLE OpenParentProcess(DWORD access);

// Waits up to milliseconds for the parent to end, then tells its status.
// Unknown returns at once.
ParentStatus WaitForParent(DWORD milliseconds);
