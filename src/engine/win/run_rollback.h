#pragma once
// The install run's journal as the worker and the wizard use it
// (rollback/win/run_journal.h): opened before the run changes anything,
// committed once the pass has ended and the record is written, undone when
// the run is cancelled or fails. A journal that an earlier run of the
// product left (killed, or the machine lost power) is undone first.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Undoes a journal of product left by an earlier run that was interrupted.
// OtherRunLive: another process runs the product (an install that started
// this uninstaller, say): its journal is left alone. Unreadable: the
// journal cannot be read as a whole (kept, nothing changed; the error is
// logged and shown, owner may be nullptr): this run must not change anything.
enum class EarlierRunState : uint8_t { NoneLeft, Undone, OtherRunLive, Unreadable };
EarlierRunState UndoInterruptedRun(const WideString& product, HWND owner);

// UndoInterruptedRun of State().ProjectName, then opens this run's journal.
// False (said and logged) when the run must not start: it could not be
// undone.
bool StartRunJournal(HWND owner);

// Undoes this run's changes after a cancel or a failure: sets
// State().RolledBack, and when something could not be put back,
// RollbackIncomplete and the Failed outcome, and says what (owner: the
// wizard window, or nullptr once it is gone). Nothing when no journal is open.
void RollBackThisRun(HWND owner);

// The run ended well (CommitRunJournal). False when that cannot be made
// durable: the run is to be undone.
bool CommitThisRun();
