// Each kind of change a run's journal notes, undone; the commit; and an
// interrupted run's journal found and undone by the next run.

#include <gtest/gtest.h>

#include "engine/win/pending_renames.h"
#include "pending_restart.h"
#include "rollback/win/journal_undo.h"
#include "rollback/win/run_journal.h"
#include "test_folder.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
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

// A run that was killed leaves its journal, perhaps torn at its end; the
// next run undoes it from the journal and the disk. A committed journal only
// has its kept-aside files deleted.
TEST(JournalUndo, InterruptedRunIsUndoneByTheNextRun) {
  struct Case {
    const char* what;
    size_t cutBytes;  // taken off the journal's end
    bool commit;
    const char* contentAfter;
    bool newFileAfter;
  };
  const Case cases[] = {
      {"killed after placing", 0, false, "old", false},
      {"torn in the last record", 3, false, "old", false},
      {"committed, kept files not yet deleted", 0, true, "new", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString records = folder / u"PloveUninstall\\";
    ASSERT_TRUE(WriteWholeFile(folder / u"a.txt", "old"));
    ASSERT_TRUE(BeginRunJournal(records, u"Killed Test"));
    StartRunPlan({folder / u"a.txt", folder / u"b.txt"});
    EndRunPlan();
    PlaceText(folder / u"a.txt", "new");
    PlaceText(folder / u"b.txt", "b");
    WriteRegistryString(HKEY_CURRENT_USER, kKey, u"Value", u"1");
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
    ASSERT_TRUE(WriteWholeFile(RunJournalPath(records, u"Killed Test"), bytes.data(), bytes.size()));

    StringList notRestored;
    EXPECT_EQ(RecoverEarlierRun(records, u"Killed Test", notRestored),
              c.commit ? EarlierRun::Committed : EarlierRun::RolledBack);
    EXPECT_EQ(notRestored.Count(), 0);
    EXPECT_EQ(Content(folder / u"a.txt"), c.contentAfter);
    EXPECT_EQ(Exists(folder / u"b.txt"), c.newFileAfter);
    EXPECT_FALSE(Exists(RunJournalPath(records, u"Killed Test")));
    // The torn record was the registry value's: its key stays, as before.
    const bool valueUndone = ReadRegistryString(HKEY_CURRENT_USER, kKey, u"Value").IsEmpty();
    EXPECT_EQ(valueUndone, !c.commit && c.cutBytes == 0);
    const std::vector<WideString> left = NamesIn(folder.Path(), u"~PLI*", false);
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(RecoverEarlierRun(records, u"Killed Test", notRestored), EarlierRun::None);
    DeleteRegistryTree(HKEY_CURRENT_USER, WideString(u"Software"), u"PloveRollbackTest");
  }
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

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  wchar_t* text = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(RunJournalPath(records, u"Private Test").W(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &text, nullptr));
  const WideString rules(text);
  LocalFree(text);
  LocalFree(descriptor);
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
