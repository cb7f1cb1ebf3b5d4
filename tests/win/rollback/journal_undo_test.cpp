// Each kind of change a run's journal notes, undone; the commit; and an
// interrupted run's journal found and undone by the next run.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "app/install_state.h"
#include "engine/win/pending_renames.h"
#include "engine/win/program_runs.h"
#include "pending_restart.h"
#include "rollback/win/journal_undo.h"
#include "rollback/win/old_version_folders.h"
#include "rollback/win/run_journal.h"
#include "access_rules.h"
#include "test_folder.h"
#include "unix_link.h"
#include "util/path_text.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"
#include "util/win/worker_thread.h"
// windows_api.h first
#include <aclapi.h>
#include <sddl.h>

namespace {

const WideString kKey(u"Software\\PloveRollbackTest");

std::string Content(const WideString& path) {
  std::string bytes;
  return ReadWholeFile(path, bytes) ? bytes : std::string("<missing>");
}

bool Exists(const WideString& path) { return GetFileAttributesW(path.W()) != INVALID_FILE_ATTRIBUTES; }

WideString ParentFolderOf(const WideString& path) { return path.Left(path.FindLast(u'\\')); }

// What the worker does for a file: note it, then write it.
void PlaceText(const WideString& path, const char* text) {
  JournalBeforeFile(path);
  CreateDirectoryW(ParentFolderOf(path).W(), nullptr);
  ASSERT_TRUE(WriteWholeFile(path, text));
}

}  // namespace

// One run that changes a bit of everything, then is undone: the files and
// values as they were, and nothing of the run left.
TEST(JournalUndo, EveryKindOfChangeIsUndone) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString app = folder / u"App\\";
  ASSERT_TRUE(CreateDirectoryW(app.W(), nullptr));
  ASSERT_TRUE(WriteWholeFile(app + u"old.txt", "old content"));
  SetFileAttributesW((app + u"old.txt").W(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(WriteWholeFile(folder / u"link.lnk", "old link"));
  const DWORD oldNumber = 7;
  ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, kKey, u"Number", REG_DWORD, &oldNumber, 4));

  ASSERT_TRUE(BeginRunJournal(records, u"Undo Test"));
  StringList notRestored;
  EXPECT_EQ(RecoverEarlierRun(records, u"Undo Test", notRestored), EarlierRun::Live);
  const std::vector<WideString> plan = {app + u"old.txt", app + u"new.txt", app + u"Deep\\er\\new.txt"};
  NoteRunFolders(plan);
  StartRunPlan(plan);
  EndRunPlan();
  // Planned: one replaced (read-only: its attributes come back with it),
  // two new (one in new folders).
  EXPECT_EQ(JournalBeforeFile(app + u"old.txt"), KeepAside::Kept);
  ASSERT_TRUE(WriteWholeFile(app + u"old.txt", "new content"));
  PlaceText(app + u"new.txt", "new");
  JournalBeforeFile(app + u"Deep\\er\\new.txt");
  ASSERT_TRUE(CreateDirectoryW((app + u"Deep").W(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((app + u"Deep\\er").W(), nullptr));
  ASSERT_TRUE(WriteWholeFile(app + u"Deep\\er\\new.txt", "deep"));
  // Unplanned: a shortcut over an old one, a file in a new folder.
  PlaceText(folder / u"link.lnk", "new link");
  PlaceText(folder / u"Menu\\made.lnk", "made");
  // Registry: an old value changed, a new value, a new key two levels deep.
  const DWORD newNumber = 8;
  WriteRegistryValue(HKEY_CURRENT_USER, kKey, u"Number", REG_DWORD, &newNumber, 4);
  WriteRegistryString(HKEY_CURRENT_USER, kKey, u"Added", u"x");
  WriteRegistryString(HKEY_CURRENT_USER, kKey + u"\\Made\\Deeper", u"v", u"y");
  WriteRegistryString(HKEY_CURRENT_USER, kKey + u"\\Made", u"w", u"z");
  JournalProgramRun(u"C:\\tool.exe /x");

  ASSERT_TRUE(RollBackRunJournal(notRestored));
  EXPECT_EQ(notRestored.Count(), 0);
  EXPECT_FALSE(RunJournalActive());
  EXPECT_EQ(Content(app + u"old.txt"), "old content");
  EXPECT_EQ(GetFileAttributesW((app + u"old.txt").W()) & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetFileAttributesW((app + u"old.txt").W(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(NamesIn(app, u"*", false), std::vector<WideString>{u"old.txt"});
  EXPECT_EQ(Content(folder / u"link.lnk"), "old link");
  EXPECT_FALSE(Exists(folder / u"Menu"));
  EXPECT_FALSE(Exists(records));
  DWORD number = 0;
  DWORD size = 4;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kKey.W(), L"Number", RRF_RT_REG_DWORD, nullptr,
                         &number, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(number, oldNumber);
  EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, kKey, u"Added").IsEmpty());
  StringList children;
  EnumerateSubkeys(HKEY_CURRENT_USER, kKey, children);
  EXPECT_EQ(children.Count(), 0);
  DeleteRegistryTree(HKEY_CURRENT_USER, WideString(u"Software"), u"PloveRollbackTest");
}

TEST(JournalUndo, CommitKeepsTheChangesAndDropsTheKeptFiles) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  ASSERT_TRUE(WriteWholeFile(folder / u"a.txt", "old"));
  ASSERT_TRUE(BeginRunJournal(records, u"Commit Test"));
  StartRunPlan({folder / u"a.txt"});
  EndRunPlan();
  PlaceText(folder / u"a.txt", "new");
  WriteRegistryString(HKEY_CURRENT_USER, kKey, u"Kept", u"1");
  CommitRunJournal();
  EXPECT_FALSE(RunJournalActive());
  EXPECT_EQ(Content(folder / u"a.txt"), "new");
  EXPECT_EQ(NamesIn(folder.Path(), u"*", false), std::vector<WideString>{u"a.txt"});
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, u"Kept"), WideString(u"1"));
  DeleteRegistryTree(HKEY_CURRENT_USER, WideString(u"Software"), u"PloveRollbackTest");
}

// A replacement at restart of a file in use: the pending pair goes back,
// the staged file goes, and a pending entry of someone else stays.
TEST(JournalUndo, ReplacementAtRestartIsTakenBack) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString busy = folder / u"busy.dll";
  const WideString staged = busy + u"-PLITMP";
  const WideString other = folder / u"other.tmp";
  ASSERT_TRUE(WriteWholeFile(busy, "in use"));
  ASSERT_TRUE(WriteWholeFile(other, "someone else's"));
  ASSERT_TRUE(ScheduleMoveAtRestart(other, WideString()));
  HANDLE held = CreateFileW(busy.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(BeginRunJournal(records, u"Pending Test"));
  StartRunPlan({busy});
  EndRunPlan();
  EXPECT_EQ(JournalBeforeFile(busy), KeepAside::InUse);
  PlaceText(staged, "new");
  JournalPendingRename(busy, staged);
  ASSERT_TRUE(ScheduleMoveAtRestart(busy, WideString()));
  ASSERT_TRUE(ScheduleMoveAtRestart(staged, busy));
  StringList notRestored;
  ASSERT_TRUE(RollBackRunJournal(notRestored));
  CloseHandle(held);
  EXPECT_EQ(notRestored.Count(), 0);
  EXPECT_FALSE(Exists(staged));
  EXPECT_EQ(Content(busy), "in use");
  const StringList pending = PendingRenameSources();
  EXPECT_FALSE(pending.Contains(busy, true));
  EXPECT_FALSE(pending.Contains(staged, true));
  EXPECT_TRUE(pending.Contains(other, true));
  CancelDeletionAtRestart(other);
}

// A run that was killed leaves its journal, perhaps torn at its end, or
// (a power loss) only what it flushed; the next run undoes it from the
// journal and the disk: files, the folders it made, the temporary files
// its members were decoded into. A committed journal only has its
// kept-aside files deleted.
TEST(JournalUndo, InterruptedRunIsUndoneByTheNextRun) {
  enum class End { Killed, PowerLoss, CommittedThenPowerLoss };
  struct Case {
    const char* what;
    End end;
    size_t cutBytes;  // taken off the journal's end
    bool commit;      // a commit record added
    const char* contentAfter;
    bool newFileAfter;
    bool valueUndone;
  };
  const Case cases[] = {
      {"killed after placing", End::Killed, 0, false, "old", false, true},
      // The torn record was the registry value's: its key stays, as before.
      {"torn in the last record", End::Killed, 3, false, "old", false, false},
      {"committed, kept files not yet deleted", End::Killed, 0, true, "new", true, false},
      {"power lost after placing", End::PowerLoss, 0, false, "old", false, true},
      {"power lost after the commit mark", End::CommittedThenPowerLoss, 0, false, "new", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    const WideString made = folder / u"Made\\";
    ASSERT_TRUE(WriteWholeFile(folder / u"a.txt", "old"));
    ASSERT_TRUE(BeginRunJournal(records, u"Killed Test"));
    const std::vector<WideString> plan = {folder / u"a.txt", made + u"b.txt", made + u"c.bin"};
    ASSERT_TRUE(NoteRunFolders(plan));
    StartRunPlan(plan);
    ASSERT_TRUE(EndRunPlan());
    PlaceText(folder / u"a.txt", "new");
    PlaceText(made + u"b.txt", "b");
    // Members decoded ahead, not yet placed.
    const WideString tag = RunJournalTag();
    ASSERT_TRUE(WriteWholeFile(made + RunTempFileName(tag, 0x1234), "decoded"));
    ASSERT_TRUE(WriteWholeFile(TempFolder() + RunTempFileName(tag, 0x5678), "decoded"));
    WriteRegistryString(HKEY_CURRENT_USER, kKey, u"Value", u"1");
    const WideString journalPath = RunJournalPath(records, u"Killed Test");
    if (c.end == End::Killed) {
      std::vector<uint8_t> bytes;
      ASSERT_TRUE(ReadActiveJournal(bytes));
      if (c.commit) {
        JournalRecord committed;
        committed.kind = JournalKind::Committed;
        AppendJournalRecord(committed, bytes);
      }
      bytes.resize(bytes.size() - c.cutBytes);
      // The process ends without a word: only its journal is left.
      DiscardRunJournal();
      CreateDirectoryW(records.W(), nullptr);
      ASSERT_TRUE(WriteWholeFile(journalPath, bytes.data(), bytes.size()));
    } else {
      if (c.end == End::CommittedThenPowerLoss) {
        ASSERT_TRUE(MarkRunCommitted());
      }
      LeaveRunJournalAsAfterPowerLoss();
    }

    StringList notRestored;
    const bool committed = c.commit || c.end == End::CommittedThenPowerLoss;
    EXPECT_EQ(RecoverEarlierRun(records, u"Killed Test", notRestored),
              committed ? EarlierRun::Committed : EarlierRun::RolledBack);
    EXPECT_EQ(notRestored.Count(), 0);
    EXPECT_EQ(Content(folder / u"a.txt"), c.contentAfter);
    EXPECT_EQ(Exists(made + u"b.txt"), c.newFileAfter);
    EXPECT_FALSE(Exists(journalPath));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, u"Value").IsEmpty(), c.valueUndone);
    EXPECT_TRUE(NamesIn(folder.Path(), u"~PLI*", false).empty());
    if (!committed) {
      EXPECT_FALSE(Exists(made));
      EXPECT_TRUE(NamesIn(TempFolder(), RunTempFilePattern(tag), false).empty());
    } else {
      DeleteFileW((made + RunTempFileName(tag, 0x1234)).W());
      DeleteFileW((TempFolder() + RunTempFileName(tag, 0x5678)).W());
    }
    EXPECT_EQ(RecoverEarlierRun(records, u"Killed Test", notRestored), EarlierRun::None);
    DeleteRegistryTree(HKEY_CURRENT_USER, WideString(u"Software"), u"PloveRollbackTest");
  }
}

namespace {

bool MarkRegistered(const WideString& dll) {
  return RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Plove Rollback\\Registered", dll.W(), RRF_RT_ANY, nullptr,
                      nullptr, nullptr) == ERROR_SUCCESS;
}

void CopyMarkDll(const WideString& to) {
  ASSERT_TRUE(CopyFileW(WideString::FromUtf8(PLOVE_REGISTRY_MARK_PATH).W(), to.W(), FALSE));
}

}  // namespace

// A destination that was not there when the run planned it: what someone
// else put there (a program the run started, another install) stays, in
// the run's own rollback and in the next run's after a crash.
TEST(JournalUndo, OnlyWhatTheRunWroteIsUndone) {
  struct Case {
    const char* what;
    bool placedBySomeoneElse;  // before the run's turn
    bool runPlaces;            // false: kept by the version rule
    bool powerLoss;            // recovered by the next run from what was flushed
    bool laterFilePlaced;      // the pass went on to the next planned file
    const char* after;
  };
  const Case cases[] = {
      {"placed by the run", false, true, false, false, "<missing>"},
      {"someone else's, then the run's over it", true, true, false, false, "theirs"},
      {"someone else's, kept by the version rule", true, false, false, false, "theirs"},
      {"kept, power lost after the next file", true, false, true, true, "theirs"},
      {"kept, power lost right after, other size", true, false, true, false, "theirs"},
      {"placed, power lost right after, member's size", false, true, true, false, "<missing>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    const WideString shared = folder / u"shared.dll";
    const WideString next = folder / u"next.txt";
    ASSERT_TRUE(BeginRunJournal(records, u"Own Test"));
    const std::vector<WideString> plan = {shared, next};
    ASSERT_TRUE(NoteRunFolders(plan));
    StartRunPlan(plan, {4, 1});  // "ours" is 4 bytes long, "theirs" 6
    ASSERT_TRUE(EndRunPlan());
    if (c.placedBySomeoneElse) {
      ASSERT_TRUE(WriteWholeFile(shared, "theirs"));
    }
    if (c.runPlaces) PlaceText(shared, "ours");
    if (c.laterFilePlaced) PlaceText(next, "n");
    StringList notRestored;
    if (c.powerLoss) {
      LeaveRunJournalAsAfterPowerLoss();
      EXPECT_EQ(RecoverEarlierRun(records, u"Own Test", notRestored), EarlierRun::RolledBack);
    } else {
      ASSERT_TRUE(RollBackRunJournal(notRestored));
    }
    EXPECT_EQ(notRestored.Count(), 0);
    EXPECT_EQ(Content(shared), c.after);
    EXPECT_FALSE(Exists(next));
    EXPECT_TRUE(NamesIn(folder.Path(), u"~PLI*", false).empty());
  }
}

// Registrations: the run's own new DLL is unregistered; one that was there
// (kept by the version rule, or replaced and put back) is registered after
// the rollback, also when a power loss makes the next run replay it.
TEST(JournalUndo, OnlyTheRunsOwnRegistrationsAreTakenBack) {
  struct Case {
    const char* what;
    bool there;     // registered before the run
    bool replaced;  // the run put its own copy in place
    bool replayed;  // the rollback is done again from the journal
    bool registeredAfter;
  };
  const Case cases[] = {
      {"new", false, true, false, false},
      {"kept newer", true, false, false, true},
      {"kept newer, replayed", true, false, true, true},
      {"replaced", true, true, false, true},
      {"replaced, replayed", true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    const WideString dll = folder / u"mark.ocx";
    if (c.there) {
      CopyMarkDll(dll);
      RegisterDll(dll);
      ASSERT_TRUE(MarkRegistered(dll));
    }
    ASSERT_TRUE(BeginRunJournal(records, u"Dll Test"));
    StartRunPlan({dll});
    ASSERT_TRUE(EndRunPlan());
    if (c.replaced) {
      JournalBeforeFile(dll);
      CopyMarkDll(dll);
    }
    ASSERT_TRUE(JournalDllRegistration(dll));
    RegisterDll(dll);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadActiveJournal(bytes));
    StringList notRestored;
    ASSERT_TRUE(RollBackRunJournal(notRestored));
    if (c.replayed) {
      CreateDirectoryW(records.W(), nullptr);
      ASSERT_TRUE(WriteWholeFile(RunJournalPath(records, u"Dll Test"), bytes.data(), bytes.size()));
      EXPECT_EQ(RecoverEarlierRun(records, u"Dll Test", notRestored), EarlierRun::RolledBack);
    }
    EXPECT_EQ(notRestored.Count(), 0);
    EXPECT_EQ(Exists(dll), c.there);
    EXPECT_EQ(MarkRegistered(dll), c.registeredAfter);
    if (c.there) UnregisterDllServer(dll);
    DeleteFileW(dll.W());
  }
}

// A journal that cannot be read as a whole is kept as it is, and nothing
// is undone from it.
TEST(JournalUndo, UnreadableJournalIsKeptAndNothingChanges) {
  struct Case {
    const char* what;
    size_t at;  // 0: a record of an unknown kind is added
    uint8_t flip;
  };
  const Case cases[] = {
      {"newer version", 7, kJournalVersion ^ (kJournalVersion + 1)},
      {"damaged in the middle", 12, 0x5A},
      {"unknown kind", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    ASSERT_TRUE(BeginRunJournal(records, u"Kept Test"));
    StartRunPlan({folder / u"a.txt"});
    ASSERT_TRUE(EndRunPlan());
    PlaceText(folder / u"a.txt", "new");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadActiveJournal(bytes));
    DiscardRunJournal();
    if (c.at == 0) {
      JournalRecord unknown;
      unknown.kind = static_cast<JournalKind>(kLastJournalKind + 1);
      AppendJournalRecord(unknown, bytes);
    } else {
      bytes[c.at] ^= c.flip;
    }
    CreateDirectoryW(records.W(), nullptr);
    const WideString path = RunJournalPath(records, u"Kept Test");
    ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size()));
    StringList notRestored;
    EXPECT_EQ(RecoverEarlierRun(records, u"Kept Test", notRestored), EarlierRun::Unreadable);
    EXPECT_EQ(Content(folder / u"a.txt"), "new");
    EXPECT_EQ(Content(path), std::string(bytes.begin(), bytes.end()));
    DeleteFileW(path.W());
  }
}

// A file of the old version that its uninstaller found in use and left for
// deletion at the restart: the rollback keeps it, and takes the deletion
// back.
TEST(JournalUndo, OldVersionFileLeftForTheRestartStays) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString old = folder / u"old.dll";
  ASSERT_TRUE(WriteWholeFile(old, "version 1"));
  ASSERT_TRUE(BeginRunJournal(records, u"Old Test"));
  JournalKeepOldFile(old);
  ASSERT_TRUE(ScheduleMoveAtRestart(old, WideString()));
  StringList notRestored;
  ASSERT_TRUE(RollBackRunJournal(notRestored));
  EXPECT_EQ(notRestored.Count(), 0);
  EXPECT_EQ(Content(old), "version 1");
  EXPECT_FALSE(PendingRenameSources().Contains(old, true));
  EXPECT_TRUE(NamesIn(folder.Path(), u"~PLI*", false).empty());
  // Someone else's deletion that placing took back comes back with the
  // rollback, once.
  const WideString theirs = folder / u"theirs.txt";
  ASSERT_TRUE(WriteWholeFile(theirs, "to go"));
  ASSERT_TRUE(ScheduleMoveAtRestart(theirs, WideString()));
  ASSERT_TRUE(BeginRunJournal(records, u"Old Test"));
  ASSERT_TRUE(CancelDeletionAtRestart(theirs));
  JournalDeletionCancelled(theirs);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadActiveJournal(bytes));
  ASSERT_TRUE(RollBackRunJournal(notRestored));
  CreateDirectoryW(records.W(), nullptr);
  ASSERT_TRUE(WriteWholeFile(RunJournalPath(records, u"Old Test"), bytes.data(), bytes.size()));
  EXPECT_EQ(RecoverEarlierRun(records, u"Old Test", notRestored), EarlierRun::RolledBack);
  int count = 0;
  const StringList pending = PendingRenameSources();
  for (int i = 0; i < pending.Count(); ++i) count += SamePath(pending.Item(i), theirs) ? 1 : 0;
  EXPECT_EQ(count, 1);
  CancelDeletionAtRestart(theirs);
}

namespace {

bool RefuseAsAnotherVolume(const WideString&, const WideString&) {
  SetLastError(ERROR_NOT_SAME_DEVICE);
  return false;
}

}  // namespace

// An old file that cannot be renamed aside (another volume) is copied
// aside, and comes back on rollback.
TEST(JournalUndo, OldFileCopiedAsideWhenItCannotBeRenamed) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString file = folder / u"a.txt";
  ASSERT_TRUE(WriteWholeFile(file, "old"));
  ASSERT_TRUE(BeginRunJournal(records, u"Copy Test"));
  StartRunPlan({file});
  ASSERT_TRUE(EndRunPlan());
  SetKeepAsideMoveCallForTests(&RefuseAsAnotherVolume);
  const KeepAside kept = JournalBeforeFile(file);
  SetKeepAsideMoveCallForTests(nullptr);
  EXPECT_EQ(kept, KeepAside::Kept);
  ASSERT_TRUE(WriteWholeFile(file, "new"));
  StringList notRestored;
  ASSERT_TRUE(RollBackRunJournal(notRestored));
  EXPECT_EQ(notRestored.Count(), 0);
  EXPECT_EQ(Content(file), "old");
  EXPECT_TRUE(NamesIn(folder.Path(), u"~PLI*", false).empty());
}

// A run's per-user values belong to the account that ran it: another
// administrator's next run undoes them in that account's hive (or, when it
// is not loaded, leaves the journal for later), never in its own.
TEST(JournalUndo, CurrentUserValuesAreUndoneInTheHiveOfWhoRan) {
  struct Case {
    const char* what;
    bool hiveLoaded;
  };
  const Case cases[] = {{"hive loaded", true}, {"hive not loaded", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    const WideString other(u"S-1-5-21-1000-2000-3000-1001");
    if (c.hiveLoaded) {
      ASSERT_TRUE(WriteRegistryString(HKEY_USERS, other + u"\\" + kKey, u"Theirs", u"the run's"));
    }
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kKey, u"Theirs", u"mine"));
    std::vector<uint8_t> bytes;
    AppendJournalHeader(bytes);
    JournalRecord begin;
    begin.kind = JournalKind::Begin;
    begin.path = u"User Test";
    begin.other = u"AB12";
    JournalRecord user;
    user.kind = JournalKind::RunUser;
    user.path = other;
    JournalRecord value;
    value.kind = JournalKind::RegistryValue;
    value.number = kRootCurrentUser;
    value.type = kAbsentValue;
    value.path = kKey;
    value.other = u"Theirs";
    for (const JournalRecord* record : {&begin, &user, &value}) AppendJournalRecord(*record, bytes);
    CreateDirectoryW(records.W(), nullptr);
    const WideString path = RunJournalPath(records, u"User Test");
    ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size()));
    StringList notRestored;
    EXPECT_EQ(RecoverEarlierRun(records, u"User Test", notRestored), EarlierRun::RolledBack);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, u"Theirs"), WideString(u"mine"));
    EXPECT_TRUE(ReadRegistryString(HKEY_USERS, other + u"\\" + kKey, u"Theirs").IsEmpty());
    EXPECT_EQ(notRestored.Count(), c.hiveLoaded ? 0 : 1);
    EXPECT_EQ(Exists(path), !c.hiveLoaded);
    DeleteFileW(path.W());
    DeleteRegistryTree(HKEY_CURRENT_USER, WideString(u"Software"), u"PloveRollbackTest");
    DeleteRegistryTree(HKEY_USERS, other, u"Software");
    RegDeleteKeyW(HKEY_USERS, other.W());
  }
}

// An old version's read-only file comes back read-only (its uninstaller
// cleared the attribute, which its kept link shares); a file that cannot be
// put back leaves the journal for the next run, which finishes the undo.
TEST(JournalUndo, OldAttributesComeBackAndAFailedPutBackIsTriedAgain) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString old = folder / u"old.txt";
  const WideString busy = folder / u"busy.txt";
  ASSERT_TRUE(WriteWholeFile(old, "version 1"));
  ASSERT_TRUE(SetFileAttributesW(old.W(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteWholeFile(busy, "old busy"));
  ASSERT_TRUE(BeginRunJournal(records, u"Retry Test"));
  JournalKeepOldFile(old);
  // Its uninstaller removes it.
  SetFileAttributesW(old.W(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(DeleteFileW(old.W()));
  StartRunPlan({busy});
  ASSERT_TRUE(EndRunPlan());
  PlaceText(busy, "new busy");
  StringList notRestored;
  {
    // Held without sharing: the old content cannot go back now.
    ScopedFileHandle held(CreateFileW(busy.W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    ASSERT_TRUE(RollBackRunJournal(notRestored));
  }
  EXPECT_EQ(notRestored.Count(), 1);
  EXPECT_EQ(Content(old), "version 1");
  EXPECT_EQ(GetFileAttributesW(old.W()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(Exists(RunJournalPath(records, u"Retry Test")));
  StringList again;
  EXPECT_EQ(RecoverEarlierRun(records, u"Retry Test", again), EarlierRun::RolledBack);
  EXPECT_EQ(again.Count(), 0);
  EXPECT_EQ(Content(busy), "old busy");
  EXPECT_FALSE(Exists(RunJournalPath(records, u"Retry Test")));
  EXPECT_TRUE(NamesIn(folder.Path(), u"~PLI*", false).empty());
  SetFileAttributesW(old.W(), FILE_ATTRIBUTE_NORMAL);
}

// A run that staged a file over an earlier install's staged replacement
// (no restart between): its rollback brings back the earlier staged file
// and its pair, once, and takes back only its own.
TEST(JournalUndo, EarlierReplacementAtRestartComesBack) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString busy = folder / u"busy.dll";
  const WideString staged = busy + u"-PLITMP";
  ASSERT_TRUE(WriteWholeFile(busy, "in use"));
  ASSERT_TRUE(WriteWholeFile(staged, "earlier"));
  ASSERT_TRUE(ScheduleMoveAtRestart(busy, WideString()));
  ASSERT_TRUE(ScheduleMoveAtRestart(staged, busy));
  ASSERT_TRUE(BeginRunJournal(records, u"Earlier Test"));
  EXPECT_EQ(JournalBeforeFile(staged), KeepAside::Kept);
  ASSERT_TRUE(WriteWholeFile(staged, "this run's"));
  ASSERT_TRUE(JournalPendingRename(busy, staged, true));
  ASSERT_TRUE(CancelReplacementAtRestart(busy, staged));
  ASSERT_TRUE(ScheduleMoveAtRestart(busy, WideString()));
  ASSERT_TRUE(ScheduleMoveAtRestart(staged, busy));
  StringList notRestored;
  ASSERT_TRUE(RollBackRunJournal(notRestored));
  EXPECT_EQ(notRestored.Count(), 0);
  EXPECT_EQ(Content(staged), "earlier");
  const StringList pending = PendingRenameSources();
  int busyEntries = 0;
  int stagedEntries = 0;
  for (int i = 0; i < pending.Count(); ++i) {
    busyEntries += SamePath(pending.Item(i), busy) ? 1 : 0;
    stagedEntries += SamePath(pending.Item(i), staged) ? 1 : 0;
  }
  EXPECT_EQ(busyEntries, 1);
  EXPECT_EQ(stagedEntries, 1);
  CancelReplacementAtRestart(busy, staged);
}

// The journal names the files kept aside while the run is live: it is for
// the administrative accounts only (Wine shows that as no access for
// others), and the names carry 128 random bits.
TEST(JournalUndo, TheJournalIsForAdministratorsAndItsNamesUnguessable) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString app = folder / u"App\\";
  ASSERT_TRUE(CreateDirectoryW(app.W(), nullptr));
  ASSERT_TRUE(WriteWholeFile(app + u"old.txt", "old content"));
  ASSERT_TRUE(BeginRunJournal(records, u"Private Test"));
  EXPECT_EQ(JournalBeforeFile(app + u"old.txt"), KeepAside::Kept);

  const WideString rules = DaclTextOf(RunJournalPath(records, u"Private Test"));
  ASSERT_FALSE(rules.IsEmpty());
  EXPECT_EQ(rules.Find(WideString(u";;;WD)")), 0) << rules.ToUtf8();

  WIN32_FIND_DATAW found;
  ScopedFindHandle find(FindFirstFileW((app + u"~PLI*.old").W(), &found));
  ASSERT_TRUE(find);
  const WideString name(found.cFileName);  // "~PLI" + tag + "-" + number + ".old"
  EXPECT_GE(name.FindChar(u'-') - 5, 32) << name.ToUtf8();

  StringList notRestored;
  EXPECT_TRUE(RollBackRunJournal(notRestored));
  EXPECT_EQ(Content(app + u"old.txt"), "old content");
}

namespace {

// The one kept-aside file in folder.
WideString KeptAsideIn(const WideString& folder) {
  const std::vector<WideString> names = NamesIn(folder, u"~PLI*.old", true);
  return names.size() == 1 ? folder + u"\\" + names[0] : WideString();
}

void WriteJournal(const WideString& records, const WideString& product, const std::vector<JournalRecord>& list) {
  std::vector<uint8_t> bytes;
  AppendJournalHeader(bytes);
  for (const JournalRecord& record : list) AppendJournalRecord(record, bytes);
  CreateDirectoryW(records.W(), nullptr);
  ASSERT_TRUE(WriteWholeFile(RunJournalPath(records, product), bytes.data(), bytes.size()));
}

}  // namespace

// Another file put under a kept-aside name between the keeping and the
// undo (a planned destination and one outside the plan; the run's own
// rollback and the next run's): nothing is put back, the file stays where
// it was put, and so does the journal, as for a put-back that failed.
TEST(JournalUndo, SwappedKeptAsideFileIsNotPutBack) {
  struct Case {
    const char* what;
    bool planned;
    bool nextRun;
  };
  const Case cases[] = {{"planned, rolled back", true, false},
                        {"planned, next run", true, true},
                        {"outside the plan, rolled back", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    const WideString file = folder / u"a.txt";
    ASSERT_TRUE(WriteWholeFile(file, "old"));
    ASSERT_TRUE(BeginRunJournal(records, u"Swap Test"));
    if (c.planned) {
      StartRunPlan({file});
      ASSERT_TRUE(EndRunPlan());
    }
    ASSERT_EQ(JournalBeforeFile(file), KeepAside::Kept);
    ASSERT_TRUE(WriteWholeFile(file, "new"));
    const WideString aside = KeptAsideIn(folder.Path());
    ASSERT_FALSE(aside.IsEmpty());
    ASSERT_TRUE(MoveFileW(aside.W(), (folder / u"moved.txt").W()));
    ASSERT_TRUE(WriteWholeFile(aside, "planted"));
    StringList notRestored;
    if (c.nextRun) {
      LeaveRunJournalAsAfterPowerLoss();
      EXPECT_EQ(RecoverEarlierRun(records, u"Swap Test", notRestored), EarlierRun::RolledBack);
    } else {
      ASSERT_TRUE(RollBackRunJournal(notRestored));
    }
    EXPECT_EQ(notRestored.Count(), 1);
    EXPECT_EQ(Content(file), "new");
    EXPECT_EQ(Content(aside), "planted");
    EXPECT_TRUE(Exists(RunJournalPath(records, u"Swap Test")));
    DeleteFileW(RunJournalPath(records, u"Swap Test").W());
  }
}

// Undoing takes files only from where the run put them: a kept-aside name
// outside the destination's folder brings nothing back, and the run's
// temporary files are not looked for through a link that has taken the
// place of their folder (the Unix link stands in for a junction).
TEST(JournalUndo, NothingIsTakenFromOutsideTheRunsFolders) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString app = folder / u"App\\";
  const WideString elsewhere = folder / u"Elsewhere\\";
  const WideString target = folder / u"Target\\";
  for (const WideString* made : {&app, &elsewhere, &target}) ASSERT_TRUE(CreateDirectoryW(made->W(), nullptr));
  const WideString tag(u"AB12");
  ASSERT_TRUE(WriteWholeFile(app + RunTempFileName(tag, 1), "temp"));
  ASSERT_TRUE(WriteWholeFile(target + RunTempFileName(tag, 2), "someone else's"));
  ASSERT_TRUE(MakeUnixLink(folder / u"Linked", folder / u"Target"));
  ASSERT_TRUE(WriteWholeFile(elsewhere + KeptAsideName(tag, 0), "elsewhere"));

  JournalRecord begin;
  begin.kind = JournalKind::Begin;
  begin.path = u"Place Test";
  begin.other = tag;
  JournalRecord planned;
  planned.kind = JournalKind::PlannedFile;
  planned.type = 1;
  planned.path = app + u"a.txt";
  planned.other = elsewhere + KeptAsideName(tag, 0);
  JournalRecord temp;
  temp.kind = JournalKind::TempFiles;
  temp.path = app;
  JournalRecord linked = temp;
  linked.path = folder / u"Linked";
  WriteJournal(records, u"Place Test", {begin, planned, temp, linked});
  StringList notRestored;
  EXPECT_EQ(RecoverEarlierRun(records, u"Place Test", notRestored), EarlierRun::RolledBack);
  EXPECT_EQ(notRestored.Count(), 1);
  EXPECT_FALSE(Exists(app + u"a.txt"));
  EXPECT_EQ(Content(elsewhere + KeptAsideName(tag, 0)), "elsewhere");
  EXPECT_FALSE(Exists(app + RunTempFileName(tag, 1)));
  EXPECT_EQ(Content(target + RunTempFileName(tag, 2)), "someone else's");
  RemoveDirectoryW((folder / u"Linked").W());
  DeleteFileW(RunJournalPath(records, u"Place Test").W());
}

namespace {

std::atomic<int> g_journalStage{0};

// Inside the journal for a while past the stop time-out, then stubborn
// outside it.
void WorkerInsideTheJournal(NamedEvent&, void*) {
  {
    const JournalBusy busy;
    g_journalStage = 1;
    Sleep(700);
    g_journalStage = 2;
  }
  for (;;) Sleep(10);
}

}  // namespace

// The stop time-out never holds a worker inside the journal: it goes on
// until it is out, and is held there; an undo meanwhile is refused (never
// two at once, nor one beside a change being noted).
TEST(JournalUndo, StopTimeOutNeverHoldsAWorkerInsideTheJournal) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  ASSERT_TRUE(BeginRunJournal(records, u"Busy Test"));
  WorkerThread thread;
  thread.KeepRunningWhile(&RunJournalBusy);
  ASSERT_TRUE(thread.Start(WorkerInsideTheJournal, nullptr, 100));
  while (g_journalStage == 0) Sleep(5);
  StringList notRestored;
  EXPECT_FALSE(RollBackRunJournal(notRestored));
  EXPECT_TRUE(RunJournalActive());
  thread.Stop();
  EXPECT_EQ(g_journalStage.load(), 2);
  EXPECT_TRUE(thread.WasSuspended());
  EXPECT_TRUE(RollBackRunJournal(notRestored));
  EXPECT_FALSE(Exists(RunJournalPath(records, u"Busy Test")));
}

// The commit deletes a kept-aside file only when it is the one that went
// aside: another file put under its name stays (the run's commit, and a
// committed journal that a later run finds).
TEST(JournalUndo, CommitDeletesOnlyTheFileItKeptAside) {
  for (const bool nextRun : {false, true}) {
    SCOPED_TRACE(nextRun ? "next run" : "the run's commit");
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    const WideString file = folder / u"a.txt";
    ASSERT_TRUE(WriteWholeFile(file, "old"));
    ASSERT_TRUE(WriteWholeFile(folder / u"b.txt", "old b"));
    ASSERT_TRUE(BeginRunJournal(records, u"Commit Swap"));
    StartRunPlan({file});
    ASSERT_TRUE(EndRunPlan());
    ASSERT_EQ(JournalBeforeFile(file), KeepAside::Kept);
    ASSERT_TRUE(WriteWholeFile(file, "new"));
    const WideString aside = KeptAsideIn(folder.Path());
    ASSERT_TRUE(MoveFileW(aside.W(), (folder / u"moved.txt").W()));
    ASSERT_TRUE(WriteWholeFile(aside, "planted"));
    // Outside the plan: kept, and goes at the commit.
    ASSERT_EQ(JournalBeforeFile(folder / u"b.txt"), KeepAside::Kept);
    ASSERT_TRUE(WriteWholeFile(folder / u"b.txt", "new b"));
    if (nextRun) {
      ASSERT_TRUE(MarkRunCommitted());
      LeaveRunJournalAsAfterPowerLoss();
      StringList notRestored;
      EXPECT_EQ(RecoverEarlierRun(records, u"Commit Swap", notRestored), EarlierRun::Committed);
    } else {
      ASSERT_TRUE(CommitRunJournal());
    }
    EXPECT_EQ(Content(aside), "planted");
    std::vector<WideString> names = NamesIn(folder.Path(), u"*", true);
    std::sort(names.begin(), names.end(), [](const WideString& a, const WideString& b) { return a.Str() < b.Str(); });
    const WideString planted = aside.From(aside.FindLast(u'\\') + 1);
    EXPECT_EQ(names, (std::vector<WideString>{u"a.txt", u"b.txt", u"moved.txt", planted}));
  }
}

// A product folder swapped for a link after the run (the Unix link stands
// in for a junction): the next run removes nothing through it, whether
// the run made the folder or it was the product folder already.
TEST(JournalUndo, NothingIsRemovedThroughAProductFolderSwappedForALink) {
  for (const bool made : {true, false}) {
    SCOPED_TRACE(made ? "a folder the run made" : "the product folder that existed");
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    const WideString app = folder / u"App";
    const WideString target = folder / u"Target\\";
    if (!made) {
      ASSERT_TRUE(CreateDirectoryW(app.W(), nullptr));
    }
    State().InstallTo = made ? WideString() : app + u"\\";
    ASSERT_TRUE(BeginRunJournal(records, u"Link Swap"));
    const std::vector<WideString> plan = {app + u"\\a.txt"};
    ASSERT_TRUE(NoteRunFolders(plan));
    StartRunPlan(plan);
    ASSERT_TRUE(EndRunPlan());
    PlaceText(app + u"\\a.txt", "the run's");
    PlaceText(app + u"\\Sub\\b.txt", "the run's");
    LeaveRunJournalAsAfterPowerLoss();
    // The run's folder goes elsewhere; the link takes its name and leads to
    // files of the same names that are not the run's.
    ASSERT_TRUE(MoveFileW(app.W(), (folder / u"Moved").W()));
    ASSERT_TRUE(CreateDirectoryW(target.W(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((target + u"Sub").W(), nullptr));
    ASSERT_TRUE(WriteWholeFile(target + u"a.txt", "someone else's"));
    ASSERT_TRUE(WriteWholeFile(target + u"Sub\\b.txt", "someone else's"));
    ASSERT_TRUE(MakeUnixLink(app, folder / u"Target"));
    StringList notRestored;
    EXPECT_EQ(RecoverEarlierRun(records, u"Link Swap", notRestored), EarlierRun::RolledBack);
    EXPECT_EQ(Content(target + u"a.txt"), "someone else's");
    EXPECT_EQ(Content(target + u"Sub\\b.txt"), "someone else's");
    EXPECT_TRUE(Exists(app));
    RemoveDirectoryW(app.W());
    State().InstallTo = WideString();
  }
}

// The folders an old version's files lay in go once empty, up the tree;
// one that holds someone else's file stays, and so does a link with what
// it leads to.
TEST(JournalUndo, OldVersionFoldersGoWhenEmpty) {
  TestFolder folder;
  const WideString old = folder / u"Old\\";
  for (const WChar* made : {u"Old", u"Old\\Deep", u"Old\\Deep\\er", u"Old\\Kept", u"Target"})
    ASSERT_TRUE(CreateDirectoryW((folder / made).W(), nullptr));
  ASSERT_TRUE(WriteWholeFile(old + u"Kept\\mine.txt", "someone else's"));
  ASSERT_TRUE(MakeUnixLink(old + u"Linked", folder / u"Target"));
  RemoveOldVersionFolders({old + u"Deep\\er\\a.txt", old + u"Deep\\b.txt", old + u"Linked\\c.txt"});
  EXPECT_FALSE(Exists(old + u"Deep"));
  EXPECT_EQ(Content(old + u"Kept\\mine.txt"), "someone else's");
  EXPECT_TRUE(Exists(old + u"Linked"));
  EXPECT_TRUE(Exists(folder / u"Target"));
  RemoveOldVersionFolders({old + u"Kept\\mine.txt"});
  EXPECT_TRUE(Exists(old + u"Kept\\mine.txt"));
  RemoveDirectoryW((old + u"Linked").W());
}

// A reader holding an interrupted run's journal open (a backup, a virus
// scanner) does not keep the next run from undoing it; the journal it kept
// from going is undone again, harmlessly, by the run after.
TEST(JournalUndo, AReaderOfTheJournalDoesNotBlockRecovery) {
  TestFolder folder;
  const WideString records = folder / u"PloveUninstall\\";
  const WideString file = folder / u"a.txt";
  ASSERT_TRUE(WriteWholeFile(file, "old"));
  ASSERT_TRUE(BeginRunJournal(records, u"Reader Test"));
  StartRunPlan({file});
  ASSERT_TRUE(EndRunPlan());
  ASSERT_EQ(JournalBeforeFile(file), KeepAside::Kept);
  ASSERT_TRUE(WriteWholeFile(file, "new"));
  PlaceText(folder / u"b.txt", "new b");
  LeaveRunJournalAsAfterPowerLoss();
  const WideString journal = RunJournalPath(records, u"Reader Test");
  StringList notRestored;
  {
    ScopedFileHandle reader(
        CreateFileW(journal.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_EQ(RecoverEarlierRun(records, u"Reader Test", notRestored), EarlierRun::RolledBack);
    EXPECT_EQ(notRestored.Count(), 0);
    EXPECT_EQ(Content(file), "old");
    EXPECT_FALSE(Exists(folder / u"b.txt"));
  }
  const EarlierRun again = RecoverEarlierRun(records, u"Reader Test", notRestored);
  EXPECT_TRUE(again == EarlierRun::RolledBack || again == EarlierRun::None);
  EXPECT_EQ(notRestored.Count(), 0);
  EXPECT_EQ(Content(file), "old");
  EXPECT_FALSE(Exists(journal));
}

namespace {
int g_flushes = 0;
bool CountFlush(HANDLE file) {
  ++g_flushes;
  return FlushFileBuffers(file) != FALSE;
}
bool RefuseFlush(HANDLE) {
  SetLastError(ERROR_DISK_FULL);
  return false;
}
}  // namespace

// What a power loss would leave of the journal is what reached the disk:
// the plan is flushed before the first change, and a flush that fails
// stops the run (its changes are undone from what the journal holds).
TEST(JournalUndo, ThePlanIsFlushedAndAFailedFlushStopsTheRun) {
  TestFolder folder;
  const WideString file = folder / u"a.txt";
  ASSERT_TRUE(WriteWholeFile(file, "old"));
  g_flushes = 0;
  SetJournalFlushCallForTests(&CountFlush);
  ASSERT_TRUE(BeginRunJournal(folder / u"PloveUninstall\\", u"Flush Test"));
  StartRunPlan({file});
  ASSERT_TRUE(EndRunPlan());
  EXPECT_GE(g_flushes, 1);
  SetJournalFlushCallForTests(&RefuseFlush);
  JournalRegistryValue(HKEY_CURRENT_USER, kKey, WideString(u"Flushed"));
  SetJournalFlushCallForTests(nullptr);
  EXPECT_TRUE(RunJournalFailed());
  StringList notRestored;
  RollBackRunJournal(notRestored);
  EXPECT_EQ(Content(file), "old");
}
