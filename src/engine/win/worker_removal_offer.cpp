#include "engine/win/worker_removal_offer.h"

#include "app/install_state.h"
#include "engine/win/installed_version.h"
#include "engine/win/old_version_keeping.h"
#include "engine/win/program_runs.h"
#include "engine/win/run_scope.h"
#include "engine/win/uninstall_record.h"
#include "util/win/message_door.h"
#include "util/win/registry.h"

WideString RemovalQuestion(const WideString& projectName, const WideString& newVersion,
                           const WideString& existingVersion) {
  WideString text = WideString::Format(u"Setup has detected an existing version of %s.\r\n\r\n", projectName);
  if (!newVersion.IsEmpty()) {
    text += WideString::Format(u"  Installing Version: %s\r\n  Existing Version: %s\r\n\r\n", newVersion,
                               existingVersion);
  }
  text += u"Uninstall existing before installing new? (Cancel to exit, leaving existing version).";
  return text;
}

WideString RemovalCommandLine(const WideString& uninstallString) {
  WideString command = uninstallString;
  command.Replace(WideString(u"--uninstall="), WideString(u"--sayonrebootruninst --uninstall="), false);
  return command;
}

bool OfferOldVersionRemoval(HWND window) {
  InstallState& state = State();
  const WideString uninstallString =
      ReadRegistryString(ProductRegistryRoot(), UninstallKeyPath(state.ProjectName), WideString(u"UninstallString"));
  if (uninstallString.IsEmpty()) return true;

  const WideString existing = ReadRecordVersion(UninstallRecordArgument(uninstallString));
  const WideString question = RemovalQuestion(state.ProjectName, state.ProgramVersion, existing);
  const int answer = ShowMessage(window, question, state.InstallerTitle, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) {
    state.InstallFailed = true;
    return false;
  }
  if (answer != IDYES) return true;

  // Kept until this install commits, so that its rollback brings it back.
  KeepOldVersion(uninstallString);
  StartProcess(RemovalCommandLine(uninstallString), true);
  Sleep(4000);
  // The old uninstaller signals this event when it restarts Windows; the
  // new install must not run into the shutdown.
  if (state.RebootEvent.IsSignalled() || state.InstallFailed) {
    state.InstallFailed = true;
    return false;
  }
  return true;
}

void NameOtherScopeInstall(HWND window) {
  InstallState& state = State();
  const HKEY other = PerUserRun() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const WideString entry = UninstallKeyPath(state.ProjectName);
  if (ReadRegistryString(other, entry, WideString(u"UninstallString")).IsEmpty()) return;
  WideString version = ReadRegistryString(other, entry, WideString(u"DisplayVersion"));
  if (version.IsEmpty()) version = u"unknown";
  const WideString text =
      PerUserRun() ? WideString::Format(u"%s is already installed for all users (version %s). This install is just for "
                                        u"you; the one for all users stays as it is.",
                                        state.ProjectName, version)
                   : WideString::Format(u"%s is already installed just for you (version %s). This install is for all "
                                        u"users; the one just for you stays as it is.",
                                        state.ProjectName, version);
  ShowMessage(window, text, state.InstallerTitle, MB_OK | MB_ICONINFORMATION);
}
