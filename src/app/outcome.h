#pragma once
// How a run ended, and the process exit code that tells it to the program
// that started the installer. The codes are those Windows installers use, so
// deployment tools and package managers read them without special cases.

#include <cstdint>

enum ExitCode : int {
  kExitSuccess = 0,
  kExitCancelled = 1602,        // the user cancelled or declined
  kExitFailed = 1603,           // the install or uninstall failed
  kExitRestartStarted = 1641,   // done, and a restart of Windows was requested
  kExitRestartNeeded = 3010,    // done, but files wait for a restart that was not started
};

// What the install (or the uninstall) did; set by the engine, the windows
// and start-up, each for the part it decides.
enum class InstallOutcome : uint8_t {
  None,           // nothing decided yet: the run ended before any work started
  Completed,      // the script ran to its end
  AnsweredNo,     // a "QuestionYesNo" message was answered No; the pass stopped there
  Cancelled,      // the user cancelled: Cancel, closing the window, the removal offer's Cancel
  OldVersionRestarting,  // the old version's uninstaller started a restart; nothing was installed
  Failed,         // a file could not be placed, the payload is damaged, a requirement is not met
};

// The exit code of a run. restartNeeded: files wait for the next restart;
// restartRequested: this run asked Windows to restart. An outcome of None
// means the run was left before it did anything (the user closed the first
// page), which counts as a cancel.
int ExitCodeFor(InstallOutcome outcome, bool restartNeeded, bool restartRequested);

// The code a process of this system passes on for a code another process
// of it gave: one of the codes above unchanged, anything else (a crash such
// as 0xC0000005, a process ended from outside) 1603.
int KnownExitCode(uint32_t code);
