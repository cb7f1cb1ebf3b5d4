#pragma once
// The journal of the install run in progress: every change the run makes is
// noted before it is made, in "<uninstall folder>PloveRollback-<product>.dat",
// so that a cancelled or failed run (journal_undo.h), or one that was killed
// or lost its machine's power (the next run, journal_undo.h), can be undone.
// The file is held open without write sharing while the run lasts, which
// tells another run that it is live.
//
// Flushing. Placing a file is noted without a flush: before the pass, one
// flushed plan lists every destination the pass may place, whether it
// existed then and the name its old content is kept under while the run
// lasts. After a crash the disk tells how far each planned file got: its
// kept-aside file present means it was put aside (put it back); a
// destination that was absent at plan time and is present now was placed
// (delete it); neither means nothing happened to it. So the unflushed file
// records may be lost without losing anything that undoing needs. Every
// change the plan did not foresee (registry values, shortcuts, the uninstall
// record, the uninstaller copy, DLL registrations, replacements at restart,
// files placed outside the plan) is flushed before it is made; there are few.
// The committed mark is flushed before the kept-aside files are deleted.
//
// With no journal open every call here does nothing. One thread at a time.

#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

WideString RunJournalPath(const WideString& uninstallFolder, const WideString& product);

// Opens this run's journal (creating the folder when needed, which is then
// noted too). False, with no journal, when it cannot be made: another run
// of the product holds it, or the folder cannot be written.
bool BeginRunJournal(const WideString& uninstallFolder, const WideString& product);
// A journal kept in memory only, for a process whose changes another
// process decides about (the first process, which writes per-user values
// for its elevated copy): nothing survives the process.
bool BeginMemoryJournal();
bool RunJournalActive();

// The folders the destinations (macros expanded) lie in that do not exist
// yet, noted and flushed before anything makes them: call it before the
// members start decoding beside their destinations.
void NoteRunFolders(const std::vector<WideString>& destinations);

// The plan, before the pass places anything: the destinations in the order
// the pass will meet them (macros expanded). The registry values the plan
// foresees (App Paths of placed programs) are noted with JournalRegistryValue
// between this and EndRunPlan, which flushes it all once.
void StartRunPlan(const std::vector<WideString>& destinations);
void EndRunPlan();

// Before a file is put at path: when it exists, its old content is renamed
// aside (copied when it cannot be renamed). A destination of the plan is
// noted in the buffer; any other path is noted and flushed first.
enum class KeepAside : uint8_t {
  NothingThere,  // path did not exist
  Kept,          // the old file is aside; path is free
  InUse,         // the old file is in use and stays: the caller stages the replacement
  NotKept,       // the old file could not be kept (a failure is logged); it stays
};
KeepAside JournalBeforeFile(const WideString& path);

// A file of the old version that its uninstaller is about to remove: kept
// by a hard link beside it (a copy where links cannot be made), put back on
// rollback, with a deletion at restart that its uninstaller left for it
// taken back.
void JournalKeepOldFile(const WideString& path);

// The file being replaced at the next restart by staged.
void JournalPendingRename(const WideString& destination, const WideString& staged);
void JournalDllRegistration(const WideString& path);
// Cannot be undone: the journal (and the log, on rollback) name it.
void JournalProgramRun(const WideString& program);
// The old state of a value about to be written (and the keys the write will
// create). Installed as the registry write observer while a journal is open.
void JournalRegistryValue(HKEY root, const WideString& keyPath, const WideString& valueName);

// Notes taken ahead of a group of registry writes share one flush: while
// one of these lives, JournalRegistryValue notes without flushing; its end
// flushes them all. Note everything the group will write, end it, then
// write (a write noted already is not noted again).
class JournalNotesAhead {
 public:
  JournalNotesAhead();
  ~JournalNotesAhead();
  JournalNotesAhead(const JournalNotesAhead&) = delete;
  JournalNotesAhead& operator=(const JournalNotesAhead&) = delete;

 private:
  bool held_;
};

// The run ended well: the committed mark is flushed, the kept-aside files
// are deleted (at the next restart when in use) and the journal goes.
void CommitRunJournal();

// For the undo: the records written so far (the buffer written out first),
// then the journal is closed and deleted by DiscardRunJournal once undone.
bool ReadActiveJournal(std::vector<uint8_t>& bytes);
void DiscardRunJournal();

// The kept-aside files of a committed journal are deleted (at the next
// restart when in use), as CommitRunJournal does.
struct JournalRecord;
void DeleteKeptAsideFiles(const std::vector<JournalRecord>& records);
