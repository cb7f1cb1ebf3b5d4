#include "restart/win/parent_process.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <tlhelp32.h>

#include "util/win/scoped_handle.h"

namespace {

struct ParentWatch {
  ScopedKernelHandle process;
  ParentStatus status = ParentStatus::Unknown;
};

DWORD ParentProcessId() {
  ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  }
  return 0;
}

// True when the process was created after this one: its id then belongs to
// a newer process that reused the number of the parent that has gone.
bool StartedAfterThisProcess(HANDLE process) {
  FILETIME created, ignored1, ignored2, ignored3, selfCreated;
  if (!GetProcessTimes(process, &created, &ignored1, &ignored2, &ignored3)) return false;
  if (!GetProcessTimes(GetCurrentProcess(), &selfCreated, &ignored1, &ignored2, &ignored3)) return false;
  return CompareFileTime(&created, &selfCreated) > 0;
}

ParentWatch LookUpParent() {
  ParentWatch watch;
  const DWORD parentId = ParentProcessId();
  if (parentId == 0) return watch;
  // The limited query right exists from Windows Vista on; before that only
  // the full one does.
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parentId);
  if (process == nullptr) process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, parentId);
  if (process == nullptr) process = OpenProcess(SYNCHRONIZE, FALSE, parentId);
  if (process == nullptr) {
    // An id that names no process any more: the parent has ended.
    if (GetLastError() == ERROR_INVALID_PARAMETER) watch.status = ParentStatus::Ended;
    return watch;
  }
  watch.process.Reset(process);
  watch.status = StartedAfterThisProcess(process) ? ParentStatus::Ended : ParentStatus::Running;
  if (watch.status == ParentStatus::Ended) watch.process.Reset();
  return watch;
}

ParentWatch& Watch() {
  static ParentWatch watch = LookUpParent();
  return watch;
}

}  // namespace

void WatchParentProcess() { Watch(); }

HANDLE OpenParentProcess(DWORD access) {
  const DWORD parentId = ParentProcessId();
  if (parentId == 0) return nullptr;
  ScopedKernelHandle process(OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parentId));
  if (!process) process.Reset(OpenProcess(access | PROCESS_QUERY_INFORMATION, FALSE, parentId));
  // A number reused by a newer process names a stranger, not the parent.
  if (!process || StartedAfterThisProcess(process.Get())) return nullptr;
  return process.Release();
}

ParentStatus WaitForParent(DWORD milliseconds) {
  ParentWatch& watch = Watch();
  if (watch.status != ParentStatus::Running) return watch.status;
  if (WaitForSingleObject(watch.process.Get(), milliseconds) == WAIT_OBJECT_0) return ParentStatus::Ended;
  return ParentStatus::Running;
}
