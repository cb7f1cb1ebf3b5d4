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
// Failing closed. Every write and flush is checked; space for the records
// is reserved (written as zeros) when the journal opens and again for the
// plan. A journal that cannot be made durable makes the calls below return
// false (KeepAside::NotKept): the change they precede must not be made, and
// the run ends as failed.
//
// One run of a product at a time: the journal is opened under a named
// mutex per product that the process holds until it ends.
//
// With no journal open every call here does nothing (and succeeds). One
// thread at a time.

#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

WideString RunJournalPath(const WideString& uninstallFolder, const WideString& product);

// The SID of the account this process runs as ("" when it cannot be read).
WideString ProcessUserSid();

// True while a thread is inside a journal call or an undo: a thread
// suspended there must be resumed and left to finish, never joined by a
// second undo. Every call here (and each undo) holds a JournalBusy.
bool RunJournalBusy();
// Another thread than this one is inside (held there by a suspension, say).
bool RunJournalBusyElsewhere();
class JournalBusy {
 public:
  JournalBusy();
  ~JournalBusy();
  JournalBusy(const JournalBusy&) = delete;
  JournalBusy& operator=(const JournalBusy&) = delete;
};

// Claims the run of product for this process (for as long as it lives, or
// until it claims another product with no journal open). False when another
// process holds it.
bool ClaimProductRun(const WideString& product);
// The runs of a per-user install claim their product for their user alone
// (user: the SID as text); empty, the default: for the machine.
void SetRunClaimOwner(const WideString& user);

// Opens this run's journal (creating the folder when needed, which is then
// noted too), written and flushed with its first reserve. False, with no
// journal, when it cannot be made: another run of the product is going on,
// or the folder cannot be written (the disk is full, say).
bool BeginRunJournal(const WideString& uninstallFolder, const WideString& product);
// A journal kept in memory only, for a process whose changes another
// process decides about (the first process, which writes per-user values
// for its elevated copy): nothing survives the process.
bool BeginMemoryJournal();
bool RunJournalActive();

// The folders the destinations (macros expanded) lie in that do not exist
// yet, and the folders the members' temporary files may be made in (theirs
// and the temporary folder), noted and flushed before anything makes them,
// with room reserved for the plan: call it before the members start
// decoding beside their destinations. False: the journal cannot take them.
bool NoteRunFolders(const std::vector<WideString>& destinations);

// The same for a file outside the plan about to be decoded into folder.
bool JournalTempFolder(const WideString& folder);

// The run's tag ("" without a journal): its temporary files are named
// RunTempFileName(tag, ...) (rollback/journal_records.h).
WideString RunJournalTag();
// A write or a flush of the journal failed.
bool RunJournalFailed();

// The plan, before the pass places anything: the destinations in the order
// the pass will meet them (macros expanded), with their members' sizes
// where known (sizes may be shorter, or empty). The registry values the
// plan foresees (App Paths of placed programs) are noted with
// JournalRegistryValue between this and EndRunPlan, which flushes it all
// once (false when it cannot).
void StartRunPlan(const std::vector<WideString>& destinations, const std::vector<uint64_t>& sizes = {});
bool EndRunPlan();

// Before a file is put at path: when it exists, its old content is renamed
// aside (copied when it cannot be renamed). A destination of the plan is
// noted in the buffer; any other path is noted and flushed first. A planned
// destination that was absent at plan time and holds a file that is not the
// run's own now (a program the run started put it there) goes aside too.
enum class KeepAside : uint8_t {
  NothingThere,  // path did not exist
  Kept,          // the old file is aside; path is free
  InUse,         // the old file is in use and stays: the caller stages the replacement
  NotKept,       // the old file could not be kept, or the journal cannot take the note (logged):
                 // the file must not be written
};
KeepAside JournalBeforeFile(const WideString& path);
// The same, for a caller that has just read path's attributes
// (GetFileAttributesW; INVALID_FILE_ATTRIBUTES: nothing there): looking
// again for a name that is not there costs a scan of its whole folder.
KeepAside JournalBeforeFile(const WideString& path, DWORD attributesNow);

// A file of the old version that its uninstaller is about to remove: kept
// by a hard link beside it (a copy where links cannot be made), put back on
// rollback, with a deletion at restart that its uninstaller left for it
// taken back.
void JournalKeepOldFile(const WideString& path);

// The file being replaced at the next restart by staged; replacesEarlier:
// an earlier install's pair for it is being taken out (it comes back on
// rollback, with the staged file the earlier install left).
bool JournalPendingRename(const WideString& destination, const WideString& staged, bool replacesEarlier = false);
// A deletion of path at the next restart, left by someone else, that
// placing a file there has just taken back (it is scheduled again on
// rollback).
void JournalDeletionCancelled(const WideString& path);
// Before path is registered; false: the journal cannot take the note.
bool JournalDllRegistration(const WideString& path);
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

// The run ended well: the committed mark is flushed (MarkRunCommitted), the
// kept-aside files are deleted (at the next restart when in use) and the
// journal goes (FinishCommittedRun). False, with nothing deleted and the
// journal open, when the mark cannot be made durable: the run is undone.
bool CommitRunJournal();
bool MarkRunCommitted();
void FinishCommittedRun();

// For the undo: every record noted so far (from memory: also those a full
// disk kept out of the file), then the journal is closed and deleted by
// DiscardRunJournal once undone.
bool ReadActiveJournal(std::vector<uint8_t>& bytes);
void DiscardRunJournal();
// Closes the journal and leaves it (every record written out) for the next
// run to undo again: something could not be put back.
void KeepRunJournalForRetry();

// For tests: closes the journal as a power loss now would leave it (cut
// to what was flushed), undoing nothing.
void LeaveRunJournalAsAfterPowerLoss();

// Tests only: replaces the rename that keeps an old file aside (nullptr
// restores it), so that a refused rename (another volume) can be staged.
using KeepAsideMoveCall = bool (*)(const WideString& from, const WideString& to);
void SetKeepAsideMoveCallForTests(KeepAsideMoveCall call);
// Tests only: replaces FlushFileBuffers of the journal (nullptr restores
// it), so that the flushes can be counted and a failing one staged.
using JournalFlushCall = bool (*)(HANDLE file);
void SetJournalFlushCallForTests(JournalFlushCall call);

// The kept-aside files of a committed journal of version (its header's)
// are deleted (at the next restart when in use), as CommitRunJournal does:
// each through the handle whose identity was checked against the journal's,
// never through a link; another file under a kept-aside name stays.
struct JournalRecord;
void DeleteKeptAsideFiles(const std::vector<JournalRecord>& records, uint8_t version);

// The old version's files kept so far (JournalKeepOldFile), to be read
// before the commit closes the journal.
std::vector<WideString> KeptOldVersionFiles();
