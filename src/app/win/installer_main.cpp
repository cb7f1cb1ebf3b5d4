// The installer's entry point. One executable serves as installer, as
// container of installers and as uninstaller; the command line and the
// payload's script decide which, once per run:
//   uninstall      "<uninstall>" or "--uninstall=" on the command line
//   container      the script holds "[InstallContainer]"
//   elevated copy  the option "IsElevated": the install wizard
//   per-user run   a script for the current user (or the person's choice):
//                  the first process installs, never elevated
//   first process  otherwise: relaunch elevated, wait, serve the relay file
// The exit code tells the caller how the run ended (see app/outcome.h); the
// first process passes on the code that its elevated copy hands back. With
// "--log=PATH" every process of the run appends what it does to that file.

#include <objbase.h>

#include "app/install_state.h"
#include "app/options.h"
#include "app/outcome.h"
#include "app/win/admin_rights.h"
#include "app/win/elevated_launch.h"
#include "app/win/log_hand_over.h"
#include "app/win/process_start.h"
#include "app/win/scope_choice.h"
#include "container/win/container_install.h"
#include "payload/win/payload_context.h"
#include "restart/win/relay_file.h"
#include "uninstall/win/uninstaller_entry.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "util/win/windows_api.h"
#include "wizard/win/install_window.h"
#include "util/win/own_image.h"
#include "util/win/system_library.h"

namespace {

// The elevated copy's install: the wizard, modal until it closes.
int RunWizard() {
  {
    dlgInstall wizard;
    wizard.Run();
  }
  const InstallState& state = State();
  return ExitCodeFor(state.Outcome, state.RebootRequired, state.RestartRequested);
}

// Everything after the uninstall test: payload, container or install.
int RunInstaller(const OptionList& options) {
  InstallState& state = State();
  const int elevated = FindOption(options, WideString(u"IsElevated"));
  if (elevated >= 0 && !HasAdminRights()) {
    ShowMessage(nullptr,
                WideString(u"Installer requires Administrator rights, change this account to an "
                           u"Administrator, then retry the install."),
                state.InstallerTitle, MB_ICONERROR);
    return kExitFailed;
  }

  PayloadContext payload;
  bool failed = false;
  payload.Open(&failed);
  PublishPayload(&payload);
  int exitCode = kExitFailed;
  if (!failed && !RunContainerIfAny(&exitCode)) {
    if (!SettleRunScope(elevated >= 0)) {
      exitCode = kExitFailed;
    } else if (elevated >= 0) {
      const int chosen = FindOption(options, WideString(u"scopechosen"));
      if (chosen >= 0) state.ScopeChosenFolder = options.values.Item(chosen);
      exitCode = RunWizard();
    } else if (state.Scope == RunScope::User || state.AsksForScope) {
      // For the current user alone, this process installs; when the person
      // chooses, its wizard asks first, and the choice of all users goes
      // on in the elevated copy, which starts installing at once.
      exitCode = RunWizard();
      if (state.AllUsersChosen) {
        state.Outcome = InstallOutcome::None;
        exitCode = RelaunchElevated(
            WideString::Format(u"--allusers --scopechosen=\"%s\" ", state.InstallTo));
      }
    } else {
      exitCode = RelaunchElevated();
    }
  }
  PublishPayload(nullptr);
  return exitCode;
}

// The process's part in the run, as the log names it. A first process that
// finds a container script is renamed by the container runner.
const WChar* RoleOf(const WideString& commandLine, const OptionList& options, bool uninstall) {
  if (uninstall) return commandLine.Find(u"--IsElevated") != 0 ? u"elevated uninstaller" : u"uninstaller";
  return FindOption(options, WideString(u"IsElevated")) >= 0 ? u"elevated copy" : u"first process";
}

// The log of this process: an elevated copy writes through the handle of
// the process that started it, every other process opens the path.
void StartLog(const LogOptionSplit& split, const OptionList& options, bool elevatedCopy, const WChar* role,
              const WideString& given) {
  if (split.logPath.IsEmpty()) return;
  if (elevatedCopy) {
    AdoptParentLog(options, split.logPath, role, given);
  } else {
    OpenInstallLog(split.logPath, role, given);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything can load a DLL: System32 only, never the folder the
  // installer was downloaded to.
  RestrictDllSearch();
  // Its own file, held from now on: nobody can rename or replace it while
  // it runs.
  HoldOwnImage();
  PrepareProcess();
  InstallState& state = State();
  state.Instance = instance;
  const WideString given(GetCommandLineW());
  // The log's path is taken out before any option is looked for, so that
  // nothing in it reads as one.
  const LogOptionSplit split = SplitLogOption(given);
  state.CommandLine = split.commandLine;
  const WideString& commandLine = state.CommandLine;
  const OptionList options = ParseOptions(commandLine);
  state.Silent = HasSilentOption(commandLine);
  state.AutoReboot = !HasNoAutoRebootOption(commandLine);
  // Silent: no message box may wait for a person either.
  SetMessagesUnattended(state.Silent);
  const bool uninstall = HasUninstallOption(commandLine);
  // An elevated copy of the installer or the uninstaller; its relay file
  // leads back to the first process.
  const int elevated = FindOption(options, WideString(u"IsElevated"));
  if (elevated >= 0) state.RelayPath = options.values.Item(elevated);
  StartLog(split, options, elevated >= 0, RoleOf(commandLine, options, uninstall), given);

  int exitCode = kExitFailed;
  if (uninstall) {
    exitCode = RunUninstaller();
  } else {
    const HRESULT com = CoInitialize(nullptr);
    exitCode = RunInstaller(options);
    if (SUCCEEDED(com)) CoUninitialize();
  }
  // The first process learns how the run ended from this, not from the
  // process exit code, which a crash or a kill from outside would also give.
  if (!state.RelayPath.IsEmpty()) SendRelayResult(state.RelayPath, exitCode);
  CloseInstallLog(exitCode);
  return exitCode;
}
