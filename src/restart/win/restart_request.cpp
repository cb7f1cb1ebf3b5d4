#include "restart/win/restart_request.h"

#include <atomic>

#include "app/install_state.h"
#include "ui/win/modal_loop.h"
#include "util/wide_string.h"
#include "util/win/install_log.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

std::atomic<RestartRequestObserver> g_observer{nullptr};
std::atomic<void*> g_observerContext{nullptr};

constexpr wchar_t kRestartMessage[] = L"System Restarting Now";

// Failures are not checked: without the privilege Windows refuses the
// restart, which the caller treats like any other refusal.
void EnableShutdownPrivilege() {
  ScopedKernelHandle process(OpenProcess(0x1F0FFF, FALSE, GetCurrentProcessId()));
  ScopedKernelHandle token;
  if (!process || !OpenProcessToken(process.Get(), TOKEN_ADJUST_PRIVILEGES, token.Receive())) return;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return;
  AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

// ERROR_SUCCESS when Windows took the request; otherwise why it refused.
DWORD AskWindowsToRestart() {
  EnableShutdownPrivilege();
  using InitiateShutdownFunction = DWORD(WINAPI*)(LPWSTR, LPWSTR, DWORD, DWORD, DWORD);
  ScopedModule advapi(LoadLibraryExW(L"advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  auto initiateShutdown = reinterpret_cast<InitiateShutdownFunction>(
      reinterpret_cast<void*>(advapi ? GetProcAddress(advapi.Get(), "InitiateShutdownW") : nullptr));
  wchar_t message[sizeof kRestartMessage / sizeof kRestartMessage[0]];
  lstrcpynW(message, kRestartMessage, sizeof message / sizeof message[0]);
  if (initiateShutdown) {
    // SHUTDOWN_RESTART | SHUTDOWN_RESTARTAPPS; SHTDN_REASON_MAJOR_SOFTWARE |
    // SHTDN_REASON_MINOR_INSTALLATION.
    return initiateShutdown(nullptr, message, 0, 0x84, 0x30002);
  }
  if (InitiateSystemShutdownW(nullptr, message, 0, FALSE, TRUE)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? ERROR_NOT_SUPPORTED : error;
}

// The test log named by PLOVE_TEST_RESTART_LOG; empty when it is not set.
WideString TestLogPath() {
  wchar_t path[MAX_PATH + 1];
  DWORD length = GetEnvironmentVariableW(L"PLOVE_TEST_RESTART_LOG", path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return WideString();
  return WideString(path);
}

void AppendToTestLog(const WideString& path) {
  ScopedFileHandle file = OpenByPath(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS);
  if (!file) return;
  static const char kLine[] = "restart requested\r\n";
  DWORD written = 0;
  WriteFile(file.Get(), kLine, sizeof kLine - 1, &written, nullptr);
}

}  // namespace

void SetRestartRequestObserverForTesting(RestartRequestObserver observer, void* context) {
  g_observerContext.store(context);
  g_observer.store(observer);
}

bool RequestRestart() {
  InstallState& state = State();
  if (state.Silent && !state.AutoReboot) return false;
  RestartRequestObserver observer = g_observer.load();
  WideString testLog;
  DWORD refused = ERROR_SUCCESS;
  if (observer) {
    observer(g_observerContext.load());
  } else if (!(testLog = TestLogPath()).IsEmpty()) {
    AppendToTestLog(testLog);
  } else {
    refused = AskWindowsToRestart();
  }
  // The window that asked ends either way: it has nothing left to count
  // down to. A refused restart is still pending (3010), not started.
  QuitModalLoop(0);
  if (refused != ERROR_SUCCESS) {
    LogWindowsError(log_kind::kFailure, u"restart of Windows", refused);
    return false;
  }
  state.RestartRequested = true;
  return true;
}
