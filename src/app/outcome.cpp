#include "app/outcome.h"

int ExitCodeFor(InstallOutcome outcome, bool restartNeeded, bool restartRequested) {
  switch (outcome) {
    case InstallOutcome::Completed:
      if (restartRequested) return kExitRestartStarted;
      return restartNeeded ? kExitRestartNeeded : kExitSuccess;
    case InstallOutcome::Failed:
      return kExitFailed;
    case InstallOutcome::None:
    case InstallOutcome::AnsweredNo:
    case InstallOutcome::Cancelled:
    case InstallOutcome::OldVersionRestarting:
      break;
  }
  return kExitCancelled;
}

int KnownExitCode(uint32_t code) {
  switch (code) {
    case kExitSuccess:
    case kExitCancelled:
    case kExitFailed:
    case kExitRestartStarted:
    case kExitRestartNeeded:
      return static_cast<int>(code);
    default:
      return kExitFailed;
  }
}
