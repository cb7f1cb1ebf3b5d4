#include "engine/win/run_rollback.h"

#include "app/install_state.h"
#include "engine/win/uninstall_record.h"
#include "payload/win/destination_files.h"
#include "rollback/journal_records.h"
#include "rollback/win/journal_undo.h"
#include "rollback/win/old_version_folders.h"
#include "rollback/win/run_journal.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"

namespace {

const WChar kAnotherRun[] = u"Another setup of %s is running. Wait until it has ended, then run this one again.";
const WChar kUnreadableJournal[] =
    u"An earlier setup of %s was interrupted, and what it changed cannot be read back, so it cannot be undone. "
    u"Nothing was changed. The record of that setup is kept:\r\n%s";
const WChar kNoJournal[] =
    u"Setup cannot keep the record it needs to undo its changes (the disk may be full). Nothing was changed.";

WideString Listed(const StringList& items) {
  WideString text;
  for (int i = 0; i < items.Count(); ++i) text += WideString(u"\r\n") + items.Item(i);
  return text;
}

void Refuse(HWND owner, const WideString& text) {
  LogEvent(log_kind::kFailure, text);
  ShowMessage(owner != nullptr && IsWindow(owner) ? owner : nullptr, text, State().InstallerTitle,
              MB_OK | MB_ICONERROR);
}

}  // namespace

EarlierRunState UndoInterruptedRun(const WideString& product, HWND owner) {
  StringList notRestored;
  switch (RecoverEarlierRun(UninstallFolder(), product, notRestored)) {
    case EarlierRun::None:
    case EarlierRun::Committed: return EarlierRunState::NoneLeft;
    case EarlierRun::Live: return EarlierRunState::OtherRunLive;
    case EarlierRun::Unreadable:
      Refuse(owner, WideString::Format(kUnreadableJournal, product, RunJournalPath(UninstallFolder(), product)));
      return EarlierRunState::Unreadable;
    case EarlierRun::RolledBack: break;
  }
  LogEvent(log_kind::kRollback, notRestored.Count() == 0
                                    ? WideString(u"the interrupted run was undone")
                                    : u"the interrupted run was undone except:" + Listed(notRestored));
  return EarlierRunState::Undone;
}

bool StartRunJournal(HWND owner) {
  InstallState& state = State();
  switch (UndoInterruptedRun(state.ProjectName, owner)) {
    case EarlierRunState::Unreadable: return false;
    case EarlierRunState::OtherRunLive: Refuse(owner, WideString::Format(kAnotherRun, state.ProjectName)); return false;
    case EarlierRunState::NoneLeft:
    case EarlierRunState::Undone: break;
  }
  if (!BeginRunJournal(UninstallFolder(), state.ProjectName)) {
    // Not claimed: another process took the run since the recovery.
    if (!ClaimProductRun(state.ProjectName)) {
      Refuse(owner, WideString::Format(kAnotherRun, state.ProjectName));
    } else {
      Refuse(owner, WideString(kNoJournal));
    }
    return false;
  }
  // The members' temporary files carry the run's tag, which the journal
  // names: an interrupted run's are found and removed.
  SetDestinationTempPrefix(RunTempPrefix(RunJournalTag()));
  return true;
}

void RollBackThisRun(HWND owner) {
  InstallState& state = State();
  StringList notRestored;
  bool programsRun = false;
  if (!RollBackRunJournal(notRestored, &programsRun)) return;
  SetDestinationTempPrefix(WideString());
  state.RolledBack = true;
  state.RollbackLeftProgramRuns = programsRun;
  if (notRestored.Count() == 0) {
    LogEvent(log_kind::kRollback, u"the changes of this run were undone");
    return;
  }
  state.RollbackIncomplete = true;
  {
    MutexGuard guard(state.ProgressLock);
    state.Outcome = InstallOutcome::Failed;
  }
  ShowMessage(owner != nullptr && IsWindow(owner) ? owner : nullptr,
              u"Setup could not undo all of its changes. Not restored:" + Listed(notRestored), state.InstallerTitle,
              MB_OK | MB_ICONERROR);
}

bool CommitThisRun() {
  const std::vector<WideString> oldFiles = KeptOldVersionFiles();
  if (!CommitRunJournal()) return false;
  SetDestinationTempPrefix(WideString());
  // The old version's folders that only its kept files held.
  RemoveOldVersionFolders(oldFiles);
  return true;
}
