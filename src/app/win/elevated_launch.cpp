#include "app/win/elevated_launch.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <shellapi.h>

#include "app/install_state.h"
#include "app/options.h"
#include "app/outcome.h"
#include "app/win/admin_rights.h"
#include "app/win/focus_window.h"
#include "app/win/log_hand_over.h"
#include "restart/win/relay_file.h"
#include "rollback/win/journal_undo.h"
#include "rollback/win/run_journal.h"
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
  // No box of the shell's own when the start fails (a drive the elevated
  // account cannot see, a policy that blocks the program): nobody may be
  // there to answer it, and the failure is this program's to report.
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
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
    if (!relayPath.IsEmpty() && FileSizeOf(relayPath) != 0) ProcessRelayCommands(relayPath, &result.relay);
  }
  DWORD code = kExitFailed;
  result.exitCode = GetExitCodeProcess(process.Get(), &code) ? code : static_cast<DWORD>(kExitFailed);
  return result;
}

WideString RelaunchArguments() {
  const WideString commandLine(GetCommandLineW());
  const WideString log = InstallLogPath();
  return ArgumentsAfterProgram(log.IsEmpty() ? commandLine : ReplaceLogPath(commandLine, log));
}

int ExitCodeOfLaunch(const LaunchResult& launch, bool relayGiven) {
  if (!launch.started) return launch.error == ERROR_CANCELLED ? kExitCancelled : kExitFailed;
  if (!relayGiven) return KnownExitCode(launch.exitCode);
  return launch.relay.known ? KnownExitCode(static_cast<uint32_t>(launch.relay.exitCode)) : kExitFailed;
}

namespace {

// What the copy's end means for this process, in the log.
void LogCopyEnd(const LaunchResult& launch, const WChar* copyRole, int exitCode) {
  if (!InstallLogOpen()) return;
  const WideString role(copyRole);
  if (!launch.started) {
    LogWindowsError(log_kind::kFailure, u"start of the " + role, launch.error);
  } else if (!launch.relay.known) {
    LogEvent(log_kind::kFailure,
             WideString::Format(u"the %s ended without handing over its result (process exit code %u, 0x%08X): "
                                u"exit code %d",
                                role, launch.exitCode, launch.exitCode, exitCode));
  } else {
    LogEvent(log_kind::kRelaunch, WideString::Format(u"the %s returned %d: exit code %d", role,
                                                     launch.relay.exitCode, exitCode));
  }
}

}  // namespace

int RelaunchAndWait(const WChar* leadingOptions, const WideString& arguments, HWND focusWindow,
                    const WChar* copyRole) {
  InstallState& state = State();
  // The file stays, empty, until the end: its unique name is this run's.
  WideString relayPath;
  // Without one (no temporary folder) the copy's process exit code counts.
  const bool relayGiven = MakeTempFileName(relayPath, "PLI");
  const WideString parameters = WideString::Format(u"%s--IsElevated=\"%s\"%s %s", leadingOptions, relayPath,
                                                   LogHandleParameter(), arguments);
  LaunchResult launch = RunElevatedAndWait(ModulePath(), parameters, focusWindow, relayPath);
  if (launch.started) {
    // A command or the result may have arrived as the copy ended; but when
    // an uninstaller that the copy started is restarting Windows, nothing
    // more is done, only the result is read.
    ProcessRelayCommands(relayPath, &launch.relay,
                         state.RebootEvent.IsSignalled() ? RelayPass::ResultOnly : RelayPass::Everything);
  }
  DeleteTempFile(relayPath);
  const int exitCode = ExitCodeOfLaunch(launch, relayGiven);
  LogCopyEnd(launch, copyRole, exitCode);
  return exitCode;
}

int RelaunchElevated(const WideString& options) {
  InstallState& state = State();
  dlgNonElevateWndWithFocus focus;
  focus.Create();

  if (!HasAdminRights() && IsWindowsXpFamily()) {
    ShowMessage(nullptr,
                WideString(u"Installer requires Administrator rights, on the next page shown, select 'The "
                           u"Following User' and choose the Administrator user."),
                state.InstallerTitle, MB_ICONINFORMATION);
  }
  // The per-user values this process writes for the copy are undone with
  // the copy's changes when the install is cancelled or fails.
  BeginMemoryJournal();
  const WideString leading = options + u"--selfrun ";
  const int exitCode = RelaunchAndWait(leading.Text(), RelaunchArguments(), focus.Window(), u"elevated copy");
  if (exitCode == kExitCancelled || exitCode == kExitFailed) {
    StringList notRestored;
    RollBackRunJournal(notRestored);
  } else {
    CommitRunJournal();
  }
  return exitCode;
}
