#pragma once
// Undoing a run from its journal (run_journal.h): the run's own, when it is
// cancelled or fails, and one left by an earlier run that was killed or lost
// its machine's power, before the next run of the product does anything.

#include <vector>

#include "rollback/journal_records.h"
#include "util/string_list.h"
#include "util/wide_string.h"

// Undoes the records in reverse order: kept-aside files back, files and keys
// the run made removed, old values and types written back, replacements at
// restart taken back, the run's own DLLs unregistered (those that were there
// registered again), its temporary files removed. Programs that were run
// cannot be undone: the log names them. A new file goes only when the run
// wrote it: allRecords says the records are all there (the run's own, in
// memory); otherwise the disk and the plan's sizes tell. Every step can be
// taken again. notRestored receives what could not be put back as it was.
void UndoJournalRecords(const std::vector<JournalRecord>& records, StringList& notRestored, bool allRecords);

// The folders the records say the run made, removed when empty, deepest
// first; after the journal (which may be in one of them) is gone.
void RemoveFoldersOfRun(const std::vector<JournalRecord>& records);

// The run's own journal, undone and deleted. False when no journal is open,
// or when another thread is inside it (RunJournalBusyElsewhere): nothing is
// undone then, and the journal is left for the next run.
// programsRun (may be null): the journal named programs that were run.
bool RollBackRunJournal(StringList& notRestored, bool* programsRun = nullptr);

enum class EarlierRun : uint8_t {
  None,        // no journal of the product
  Live,        // another run holds it: left alone
  RolledBack,  // undone (notRestored tells what could not be)
  Committed,   // it had ended well: only its kept-aside files were left to delete
  Unreadable,  // a journal that cannot be read as a whole (a newer version, damaged): kept, nothing changed
};
// Claims the run of product (ClaimProductRun), looks for its journal in
// uninstallFolder and finishes what it tells: a run that did not commit is
// undone. The journal stays when something could not be put back. Logged.
EarlierRun RecoverEarlierRun(const WideString& uninstallFolder, const WideString& product, StringList& notRestored);
