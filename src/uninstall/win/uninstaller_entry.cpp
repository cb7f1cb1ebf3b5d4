#include "uninstall/win/uninstaller_entry.h"

#include "util/win/windows_api.h"
// windows_api.h first
#include <objbase.h>

#include "app/install_state.h"
#include "app/outcome.h"
#include "app/win/admin_rights.h"
#include "app/win/elevated_launch.h"
#include "app/win/focus_window.h"
#include "app/win/scope_choice.h"
#include "engine/win/run_rollback.h"
#include "engine/win/run_scope.h"
#include "engine/win/uninstall_record.h"
#include "uninstall/win/quiet_uninstall.h"
#include "uninstall/win/record_product.h"
#include "uninstall/win/uninstall_window.h"
#include "engine/win/folder_macros.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"

namespace {

int UninstallHere(const WideString& commandLine) {
  InstallState& state = State();
  state.UninstallRecordPath = UninstallRecordArgument(commandLine);
  // Nothing names what to remove: nothing is done.
  if (state.UninstallRecordPath.IsEmpty()) return kExitFailed;
  const bool sayOnReboot = commandLine.Find(u"--sayonrebootruninst") != 0;
  const HRESULT com = CoInitialize(nullptr);
  state.ProjectName = ProductNameFromRecord(state.UninstallRecordPath);
  // The journal of an interrupted install lies in the uninstaller folder of
  // the record's own view (the 64-bit one for a 64-bit product).
  WideString recordPath = state.UninstallRecordPath;
  ExpandFolderMacros(recordPath);
  bool is64Bit = false;
  if (InUninstallerFolder(AbsolutePath(recordPath), &is64Bit)) state.Install64Bit = is64Bit;
  // An install of the product that was interrupted is undone first; when
  // that was the install of this record, nothing is left to remove. One
  // that cannot be undone (or is going on) leaves everything as it is.
  const EarlierRunState earlier = UndoInterruptedRun(state.ProjectName, nullptr);
  if (earlier == EarlierRunState::Unreadable) {
    if (SUCCEEDED(com)) CoUninitialize();
    return kExitFailed;
  }
  if (earlier == EarlierRunState::Undone &&
      GetFileAttributesW(state.UninstallRecordPath.W()) == INVALID_FILE_ATTRIBUTES) {
    LogEvent(log_kind::kUninstall, u"nothing to remove: " + state.UninstallRecordPath + u" is gone");
    if (SUCCEEDED(com)) CoUninitialize();
    return kExitSuccess;
  }
  state.InstallTo = ReadInstallFolder(state.ProjectName);
  if (state.Silent) {
    RunQuietUninstall(sayOnReboot);
  } else {
    dlgUnInstall window(sayOnReboot);
    window.Run();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return ExitCodeFor(state.Outcome, state.UninstallRebootRequired, state.RestartRequested);
}

int RelaunchUninstaller() {
  dlgNonElevateWndWithFocus focus;
  focus.Create();
  if (IsWindowsXpFamily()) {
    ShowMessage(nullptr,
                WideString(u"Uninstaller requires Administrator rights, on the next page shown, select 'The "
                           u"Following User' and choose the Administrator user."),
                State().InstallerTitle, MB_ICONINFORMATION);
  }
  // The elevated uninstaller hands its result back through a relay file and
  // writes the log through this process's handle, as an install's copy does.
  // A relative record path is made absolute here: the copy does not start
  // in this process's current folder.
  return RelaunchAndWait(u"", WithFullRecordPath(RelaunchArguments()), focus.Window(), u"elevated uninstaller");
}

// A record that says "[InstallScope]" "user" is a per-user install's: its
// uninstall is the user's own and never elevates.
bool PerUserRecord(const WideString& commandLine) {
  WideString recordPath = UninstallRecordArgument(commandLine);
  if (recordPath.IsEmpty()) return false;
  ExpandFolderMacros(recordPath);
  return ReadScriptScope(AbsolutePath(recordPath)).scope == InstallScope::User;
}

}  // namespace

int RunUninstaller() {
  InstallState& state = State();
  state.InstallerTitle = u"UnInstaller";
  const WideString commandLine = state.CommandLine;
  if (PerUserRecord(commandLine)) {
    EnterRunScope(RunScope::User);
    LogEvent(log_kind::kScope, WideString(u"a product installed for the current user alone"));
    return UninstallHere(commandLine);
  }
  if (HasAdminRights()) return UninstallHere(commandLine);
  if (commandLine.Find(u"--IsElevated") != 0) {
    ShowMessage(nullptr,
                WideString(u"Uninstaller requires Administrator rights, change this account to an Administrator, "
                           u"then retry the uninstall."),
                state.InstallerTitle, MB_ICONERROR);
    return kExitFailed;
  }
  return RelaunchUninstaller();
}
