// A file in use is replaced at the next restart: staged copy, pending
// rename operations in the registry, and the swap done by a Wine restart.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/install_state.h"
#include "engine/win/file_placement.h"
#include "engine/win/pending_renames.h"
#include "placement_test_support.h"
#include "scripted_messages.h"
#include "util/win/file_system.h"
#include "util/win/scoped_handle.h"

using W = WideString;

namespace {

// PendingFileRenameOperations as a list of strings (pairs of source and
// target; an empty target deletes).
std::vector<W> PendingRenames() {
  std::vector<W> entries;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return entries;
  }
  DWORD size = 0;
  if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    std::vector<wchar_t> data(size / 2 + 2, 0);
    RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                     &size);
    // Pairs: read exactly size/2 characters, splitting at each zero.
    const size_t count = size / 2;
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
      if (data[i] == 0) {
        entries.emplace_back(data.data() + start, static_cast<int>(i - start));
        start = i + 1;
      }
    }
  }
  RegCloseKey(key);
  return entries;
}

bool EndsWithPath(const W& entry, const W& path) { return entry.EndsWith(path, true); }

}  // namespace

TEST(RestartReplace, FileHeldOpenIsStagedAndSwappedByARestart) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"busy.dll", "the new file"}});
  ASSERT_TRUE(payload.Ready());
  TestFolder folder;
  const W target = folder / u"busy.dll";
  ASSERT_TRUE(WriteWholeFile(target, "the old file"));
  {
    ScopedFileHandle held(CreateFileW(target.W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    // Twice before the restart (an install run again): one replacement,
    // not a second deletion after the first rename.
    EXPECT_FALSE(PlaceFile(W(u"busy.dll"), target, nullptr));
    EXPECT_FALSE(PlaceFile(W(u"busy.dll"), target, nullptr));
  }
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_TRUE(State().RebootRequired);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target + u"-PLITMP", bytes));
  EXPECT_EQ(bytes, "the new file");
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, "the old file");

  // The deletion of the old file is registered before the rename.
  const std::vector<W> pending = PendingRenames();
  int deletion = -1;
  int rename = -1;
  for (size_t i = 0; i + 1 < pending.size(); i += 2) {
    if (EndsWithPath(pending[i], target) && pending[i + 1].IsEmpty() && deletion < 0) deletion = int(i);
    if (EndsWithPath(pending[i], target + u"-PLITMP") && EndsWithPath(pending[i + 1], target)) rename = int(i);
  }
  ASSERT_GE(deletion, 0);
  ASSERT_GE(rename, 0);
  EXPECT_LT(deletion, rename);
  int pairs = 0;
  for (size_t i = 0; i + 1 < pending.size(); i += 2) pairs += EndsWithPath(pending[i], target) ? 1 : 0;
  EXPECT_EQ(pairs, 1);

  // Keep the test folder alive through the restart: Wine performs the
  // pending operations when it restarts the prefix.
  std::wstring command = L"wineboot.exe -r";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  WaitForSingleObject(process.hProcess, 120000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, "the new file");
  EXPECT_FALSE(PathExists(target + u"-PLITMP"));
}

TEST(RestartReplace, FailedStagingShowsTheInUseMessage) {
  ResetInstallState();
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"busy.txt", "new"}});
  TestFolder folder;
  const W target = folder / u"busy.txt";
  ASSERT_TRUE(WriteWholeFile(target, "old"));
  // A folder in the way of the staged copy makes the scheduling fail.
  ASSERT_TRUE(CreateFolderTree(target + u"-PLITMP"));
  {
    ScopedFileHandle held(CreateFileW(target.W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(PlaceFile(W(u"busy.txt"), target, nullptr));
  }
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text,
            W(u"Unable to replace file(s) in use, uninstall existing version, restart Windows and reinstall."));
  EXPECT_EQ(messages.Last().flags, UINT(MB_OK));
  EXPECT_FALSE(State().RebootRequired);
}

namespace {

// Lets the first restart move through and refuses the second one.
int g_restartMoves = 0;
BOOL WINAPI RefuseSecondMove(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (++g_restartMoves == 2) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return MoveFileExW(from, to, flags);
}

bool DeletionPending(const W& path) {
  const std::vector<W> pending = PendingRenames();
  for (size_t i = 0; i + 1 < pending.size(); i += 2) {
    if (EndsWithPath(pending[i], path) && pending[i + 1].IsEmpty()) return true;
  }
  return false;
}

}  // namespace

TEST(RestartReplace, RefusedRenameTakesTheDeletionBack) {
  ResetInstallState();
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"half.txt", "new"}});
  TestFolder folder;
  const W target = folder / u"half.txt";
  ASSERT_TRUE(WriteWholeFile(target, "old"));
  g_restartMoves = 0;
  SetRestartMoveCallForTests(&RefuseSecondMove);
  {
    ScopedFileHandle held(CreateFileW(target.W(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(PlaceFile(W(u"half.txt"), target, nullptr));
  }
  SetRestartMoveCallForTests(nullptr);
  EXPECT_EQ(g_restartMoves, 2);
  // The in-use file is not deleted at the restart without a replacement.
  EXPECT_FALSE(DeletionPending(target));
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text,
            W(u"Unable to replace file(s) in use, uninstall existing version, restart Windows and reinstall."));
  EXPECT_FALSE(State().RebootRequired);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(target, bytes));
  EXPECT_EQ(bytes, "old");
}

TEST(RestartReplace, DeletionWatchSeesEveryChangeOfThePendingList) {
  TestFolder folder;
  const W placed = folder / u"placed.txt";
  const W other = folder / u"other.txt";
  const W replaced = folder / u"replaced.txt";
  for (const W& path : {placed, other, replaced}) ASSERT_TRUE(WriteWholeFile(path, "x"));
  const auto scheduleDeletion = [](const W& path) {
    return MoveFileExW(path.W(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  };
  // A change by someone else is seen once the interval has passed, or at
  // once when the watch is told.
  const auto waitForCheck = [](DeletionWatch&) { Sleep(DeletionWatch::kCheckIntervalMs + 30); };
  const auto tell = [](DeletionWatch& watch) { watch.Forget(); };
  for (const auto& seeChange : {std::function<void(DeletionWatch&)>(waitForCheck),
                                std::function<void(DeletionWatch&)>(tell)}) {
    DeletionWatch watch;
    EXPECT_FALSE(watch.Cancel(placed));  // nothing pending: the list is read once
    ASSERT_TRUE(scheduleDeletion(placed));
    ASSERT_TRUE(scheduleDeletion(other));
    // The first half of a replacement stays.
    ASSERT_TRUE(scheduleDeletion(replaced));
    ASSERT_TRUE(MoveFileExW((replaced + u"-new").W(), replaced.W(), MOVEFILE_DELAY_UNTIL_REBOOT));
    seeChange(watch);
    EXPECT_TRUE(watch.Cancel(placed));
    EXPECT_FALSE(DeletionPending(placed));
    EXPECT_TRUE(DeletionPending(other));
    EXPECT_FALSE(watch.Cancel(placed));
    EXPECT_FALSE(watch.Cancel(replaced));
    EXPECT_TRUE(DeletionPending(replaced));
    // Its own change is seen at once.
    EXPECT_TRUE(watch.Cancel(other));
    EXPECT_FALSE(DeletionPending(other));
    EXPECT_FALSE(watch.Cancel(other));
    // Leave the list without this test's entries.
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                       L"PendingFileRenameOperations");
  }
}
