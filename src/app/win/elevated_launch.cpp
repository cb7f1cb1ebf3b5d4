#include "app/win/elevated_launch.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <shellapi.h>

#include "app/install_state.h"
#include "app/options.h"
#include "app/outcome.h"
#include "app/win/admin_rights.h"
#include "app/win/focus_window.h"
#include "restart/win/relay_file.h"
#include "util/command_line_text.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "util/win/process_paths.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"

namespace {

constexpr DWORD kSliceMs = 1000;
constexpr DWORD kFocusWindowMs = 5000;

// Waits up to ms for the process, serving this thread's messages. True when
// the process has ended. A WM_QUIT seen here belongs to no loop of this
// process and is dropped.
bool WaitServingMessages(HANDLE process, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    const DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE, ms - elapsed, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) return true;
    if (result != WAIT_OBJECT_0 + 1) return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

}  // namespace

LaunchResult RunElevatedAndWait(const WideString& file, const WideString& parameters, HWND focusWindow,
                                const WideString& relayPath) {
  LaunchResult result;
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_NOCLOSEPROCESS;
  execute.lpVerb = HasAdminRights() ? nullptr : L"runas";
  execute.lpFile = file.W();
  execute.lpParameters = parameters.W();
  execute.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&execute)) {
    result.error = GetLastError();
    return result;
  }
  result.started = true;
  ScopedKernelHandle process(execute.hProcess);
  if (!process) {
    // The shell started something it gives no handle for: nothing to wait for.
    result.exitCode = kExitFailed;
    return result;
  }
  AllowSetForegroundWindow(GetProcessId(process.Get()));

  const DWORD start = GetTickCount();
  bool focusHidden = false;
  while (!WaitServingMessages(process.Get(), kSliceMs)) {
    if (!focusHidden && focusWindow != nullptr && GetTickCount() - start > kFocusWindowMs) {
      ShowWindow(focusWindow, SW_HIDE);
      focusHidden = true;
    }
    if (!relayPath.IsEmpty() && FileSizeOf(relayPath) != 0) ProcessRelayCommands(relayPath);
  }
  DWORD code = kExitFailed;
  if (GetExitCodeProcess(process.Get(), &code)) result.exitCode = code;
  else result.exitCode = kExitFailed;
  return result;
}

WideString RelaunchArguments() {
  const WideString commandLine(GetCommandLineW());
  const WideString log = InstallLogPath();
  return ArgumentsAfterProgram(log.IsEmpty() ? commandLine : ReplaceLogPath(commandLine, log));
}

int ExitCodeOfLaunch(const LaunchResult& launch) {
  if (launch.started) return static_cast<int>(launch.exitCode);
  return launch.error == ERROR_CANCELLED ? kExitCancelled : kExitFailed;
}

int RelaunchElevated() {
  InstallState& state = State();
  dlgNonElevateWndWithFocus focus;
  focus.Create();

  if (!HasAdminRights() && IsWindowsXpFamily()) {
    ShowMessage(nullptr,
                WideString(u"Installer requires Administrator rights, on the next page shown, select 'The "
                           u"Following User' and choose the Administrator user."),
                state.InstallerTitle, MB_ICONINFORMATION);
  }

  WideString relayPath;
  MakeTempFileName(relayPath, "PLI");
  const WideString parameters =
      WideString::Format(u"--selfrun --IsElevated=\"%s\" %s", relayPath, RelaunchArguments());
  // The file exists only while a command is in flight.
  DeleteFileW(relayPath.W());

  const LaunchResult launch = RunElevatedAndWait(ModulePath(), parameters, focus.Window(), relayPath);
  if (!launch.started) LogWindowsError(log_kind::kFailure, u"start of the elevated copy", launch.error);
  // A command may have arrived as the copy ended; but when an uninstaller
  // that the copy started is restarting Windows, the file is left alone.
  if (launch.started && !state.RebootEvent.IsSignalled()) ProcessRelayCommands(relayPath);
  DeleteTempFile(relayPath);
  return ExitCodeOfLaunch(launch);
}
