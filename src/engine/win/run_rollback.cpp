#include "engine/win/run_rollback.h"

#include "app/install_state.h"
#include "engine/win/uninstall_record.h"
#include "rollback/win/journal_undo.h"
#include "rollback/win/run_journal.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"

namespace {

WideString Listed(const StringList& items) {
  WideString text;
  for (int i = 0; i < items.Count(); ++i) text += WideString(u"\r\n") + items.Item(i);
  return text;
}

}  // namespace

bool UndoInterruptedRun(const WideString& product) {
  StringList notRestored;
  if (RecoverEarlierRun(UninstallFolder(), product, notRestored) != EarlierRun::RolledBack) return false;
  LogEvent(log_kind::kRollback, notRestored.Count() == 0
                                    ? WideString(u"the interrupted run was undone")
                                    : u"the interrupted run was undone except:" + Listed(notRestored));
  return true;
}

void StartRunJournal() {
  InstallState& state = State();
  UndoInterruptedRun(state.ProjectName);
  BeginRunJournal(UninstallFolder(), state.ProjectName);
}

void RollBackThisRun(HWND owner) {
  InstallState& state = State();
  StringList notRestored;
  if (!RollBackRunJournal(notRestored)) return;
  state.RolledBack = true;
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

void CommitThisRun() { CommitRunJournal(); }
