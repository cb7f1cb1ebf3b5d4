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
// restart taken back, DLLs unregistered. Programs that were run cannot be undone: the log names them.
// notRestored receives what could not be put back as it was.
void UndoJournalRecords(const std::vector<JournalRecord>& records, StringList& notRestored);

// The folders the records say the run made, removed when empty, deepest
// first; after the journal (which may be in one of them) is gone.
void RemoveFoldersOfRun(const std::vector<JournalRecord>& records);

// The run's own journal, undone and deleted. False when no journal is open.
bool RollBackRunJournal(StringList& notRestored);

enum class EarlierRun : uint8_t {
  None,        // no journal of the product
  Live,        // another run holds it: left alone
  RolledBack,  // undone (notRestored tells what could not be)
  Committed,   // it had ended well: only its kept-aside files were left to delete
};
// Looks for the journal of product in uninstallFolder and finishes what it
// tells: a run that did not commit is undone. Logged.
EarlierRun RecoverEarlierRun(const WideString& uninstallFolder, const WideString& product, StringList& notRestored);
