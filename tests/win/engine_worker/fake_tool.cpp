// A stand-in for an installed program and for an old version's uninstaller.
// It appends its command line to the file named by PLOVE_FAKE_LOG, followed
// by " |record" when the file named by PLOVE_FAKE_CHECK exists at that
// moment, and signals the restart event when PLOVE_FAKE_SIGNAL_RESTART is
// set, as an uninstaller that restarts Windows does.
#include <windows.h>

namespace {

bool Environment(const wchar_t* name, wchar_t* value, DWORD size) {
  DWORD n = GetEnvironmentVariableW(name, value, size);
  return n > 0 && n < size;
}

void Append(HANDLE file, const wchar_t* text) {
  char bytes[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof(bytes), nullptr, nullptr);
  DWORD written = 0;
  if (n > 1) WriteFile(file, bytes, static_cast<DWORD>(n - 1), &written, nullptr);
}

}  // namespace

int wmain() {
  wchar_t log[1024];
  if (Environment(L"PLOVE_FAKE_LOG", log, 1024)) {
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      Append(file, GetCommandLineW());
      wchar_t check[1024];
      if (Environment(L"PLOVE_FAKE_CHECK", check, 1024) && GetFileAttributesW(check) != INVALID_FILE_ATTRIBUTES)
        Append(file, L" |record");
      Append(file, L"\n");
      CloseHandle(file);
    }
  }
  wchar_t flag[8];
  if (Environment(L"PLOVE_FAKE_SIGNAL_RESTART", flag, 8)) {
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"evtReRunInstallAsUninstallReboot");
    if (event != nullptr) {
      SetEvent(event);
      CloseHandle(event);
    }
  }
  return 0;
}
