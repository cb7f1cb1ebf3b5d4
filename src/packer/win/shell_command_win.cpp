#include <cstdio>
#include <string>

#include "packer/shell_command.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

int RunShellCommand(const std::string& command) {
  std::fflush(nullptr);
  // "/s" and the quotes around the whole command: cmd.exe takes off exactly
  // those, so that a command starting with a quoted program path keeps its
  // own quotes. "/d": no AutoRun commands from the registry.
  // The system's own cmd.exe, by its full path: not whatever "ComSpec" or
  // the current folder offers.
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring program = length > 0 && length < MAX_PATH - 9 ? std::wstring(system) + L"\\cmd.exe"
                                                                     : std::wstring(L"C:\\Windows\\System32\\cmd.exe");
  std::wstring line = L"\"" + program + L"\" /d /s /c \"" +
                      std::wstring(WideString::FromUtf8(command.c_str(), int(command.size())).W()) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  ScopedHandle<KernelHandleTraits> processOwner(process.hProcess), threadOwner(process.hThread);
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.hProcess, &code)) {
    return -1;
  }
  return int(code);
}

std::string QuotedForShell(const std::string& path) { return "\"" + path + "\""; }
