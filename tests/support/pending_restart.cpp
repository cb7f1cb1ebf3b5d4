#include "pending_restart.h"

#include <vector>

#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

StringList PendingRenameSources() {
  StringList sources;
  ScopedRegistryKey handle;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                    handle.Receive()) != ERROR_SUCCESS)
    return sources;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(handle.Get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return sources;
  std::vector<wchar_t> data(size / 2 + 2, L'\0');
  RegQueryValueExW(handle.Get(), L"PendingFileRenameOperations", nullptr, &type,
                   reinterpret_cast<BYTE*>(data.data()), &size);
  // Pairs of strings, source then target (empty for a deletion); an empty
  // source is the list's final terminator.
  const size_t count = size / 2;
  size_t at = 0;
  bool isSource = true;
  while (at < count) {
    WideString text(&data[at]);
    at += static_cast<size_t>(text.Length()) + 1;
    if (isSource) {
      if (text.IsEmpty()) break;
      if (text.StartsWith(WideString(u"\\??\\"))) text = text.From(5);
      sources.Add(text);
    }
    isSource = !isSource;
  }
  return sources;
}

bool RestartWinePrefix() {
  wchar_t command[] = L"wineboot.exe -r";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
  ScopedKernelHandle thread(process.hThread);
  ScopedKernelHandle started(process.hProcess);
  return WaitForSingleObject(started.Get(), 120000) == WAIT_OBJECT_0;
}
