#pragma once
// The one process-wide record that every subsystem of a run shares. Each
// field is set by the subsystem named beside it; the flags are single bytes
// read and written without a lock, while ProgressLock guards the progress
// fields (PendingAction, CurrentAction, ProgressDone, ProgressTotal,
// ProgressChanged).

#include <cstdint>
#include <vector>

#include "app/outcome.h"
#include "script/install_scope.h"
#include "util/string_list.h"
#include "util/wide_string.h"
#include "util/win/sync.h"
#include "util/win/windows_api.h"

class PayloadContext;

// An optional shortcut that the install worker offers on the finish page.
// Texts keep their folder macros; Selected is set by the wizard.
struct IconEntry {
  bool Selected = false;
  WideString ShortcutPath;
  WideString Target;
  WideString Arguments;
  WideString Caption;
};

// An optional program run offered on the finish page.
struct RunEntry {
  bool Selected = false;
  WideString Program;
  WideString Parameters;
  bool Wait = false;  // "[RunAndWaitFile]"
  WideString Caption;
};

struct InstallState {
  // Entry and run modes.
  // The process's command line without the log option (SplitLogOption), set
  // by start-up before anything reads an option; the one line every part
  // searches for its options. Empty in programs other than the installer.
  WideString CommandLine;
  volatile bool Silent = false;
  volatile bool AutoReboot = true;
  volatile bool RestartRequested = false;  // this process asked Windows to restart
  volatile bool Is64BitWindows = false;  // set when the record is created
  WideString InstallerTitle{u"Setup"};
  WideString ProjectName{u"Setup"};
  WideString RelayPath;
  NamedEvent RebootEvent;
  PayloadContext* Payload = nullptr;
  HINSTANCE Instance = nullptr;
  // Who this run installs for: every user (elevated, the default) or the
  // current user alone (never elevated; its folders, entry and records are
  // the user's). Set by start-up, or by the wizard's choice.
  volatile RunScope Scope = RunScope::Machine;
  // The script lets the person choose and the wizard asks (the first
  // process of an interactive run of an "either" script).
  volatile bool AsksForScope = false;
  // The person chose all users on the wizard of the first process: the
  // elevated copy is started for them (the wizard ended without installing).
  volatile bool AllUsersChosen = false;
  // The elevated copy started for that choice: the folder chosen there
  // ("--scopechosen"); its wizard installs into it at once.
  WideString ScopeChosenFolder;

  // Install wizard.
  WideString ProgramVersion;
  WideString Publisher;
  WideString InstallTo;
  bool SaveInstallPathGiven = false;
  WideString SaveInstallPathName;
  volatile bool UninstallAllowed = true;
  volatile bool OfferUninstallOld = true;
  uint64_t TotalInstallSize = 0;
  volatile bool Install64Bit = false;
  WideString CurrentAction;
  std::vector<IconEntry> IconEntries;  // optional shortcuts, in script order
  std::vector<RunEntry> RunEntries;    // optional program runs, in script order
  HWND WorkerOwnerWindow = nullptr;
  volatile int FinishActionsDone = 0;  // advanced by the finish-actions thread

  // Install worker.
  MutexLock ProgressLock;
  WideString PendingAction;
  int ProgressDone = 0;
  int ProgressTotal = 0;
  volatile bool ProgressChanged = false;
  volatile bool InstallFailed = false;
  volatile bool RebootRequired = false;
  volatile bool UninstallRecordWritten = false;
  // The worker has settled Outcome (under ProgressLock): a cancel confirmed
  // after this comes too late to stop anything.
  volatile bool WorkerSettled = false;
  // The run's changes were undone after a cancel or a failure; incomplete
  // when something could not be put back (the run then counts as failed).
  volatile bool RolledBack = false;
  volatile bool RollbackIncomplete = false;
  // The rolled-back run had run programs (its own, or an old version's
  // uninstaller with its uninstall programs), whose doings stay.
  volatile bool RollbackLeftProgramRuns = false;

  // Uninstaller.
  WideString UninstallRecordPath;
  volatile bool UninstallRebootRequired = false;

  // What happened, for the exit code (ExitCodeFor): RebootRequired (or
  // UninstallRebootRequired) and RestartRequested complete it.
  volatile InstallOutcome Outcome = InstallOutcome::None;
};

// The record of this process. Created on first use, with ProgressLock and
// RebootEvent ("evtReRunInstallAsUninstallReboot") ready.
InstallState& State();

// Back to the start values (tests run several installs in one process).
void ResetInstallState();
