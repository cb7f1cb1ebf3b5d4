#include <gtest/gtest.h>

#include "app/install_state.h"
#include "placement_test_support.h"
#include "restart/win/relay_file.h"
#include "scripted_messages.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"

using W = WideString;

namespace {

const WChar kKey[] = u"Software\\PloveTest";

bool WriteRelayText(const W& path, const W& text) {
  return WriteWholeFile(path, text.Text(), static_cast<size_t>(text.Length()) * 2);
}

// No command in flight: the first process keeps its relay file, empty.
bool Idle(const W& path) { return PathExists(path) && FileSizeOf(path) == 0; }

class RelayFile : public ::testing::Test {
 protected:
  // The first process makes the file before it starts its copy.
  void SetUp() override {
    relay_ = folder_ / u"PLI1.tmp";
    ASSERT_TRUE(WriteWholeFile(relay_, "", 0));
  }
  void TearDown() override { ResetInstallState(); }
  TestFolder folder_;
  W relay_;
};

}  // namespace

TEST_F(RelayFile, ReaderPerformsCommandsInOrderAndEmptiesTheFile) {
  DeleteUserValue(kKey, u"Count");
  ASSERT_TRUE(WriteRelayText(relay_, W(u"noise\r\n[RUN]\r\n"
                                       u"[run]\r\n\r\nignored\r\n1\r\n"
                                       u"[setreg_hkcu_dword]\r\nCount\r\nSoftware\\PloveTest\r\n12abc\r\n"
                                       u"[setreg_hkcu_string]\r\nName\r\nSoftware\\PloveTest\r\nvalue text\r\n"
                                       u"[setreg_hkcu_dword]\r\nCount\r\nSoftware\\PloveTest\r\n1\r\n")));
  ScriptedMessages messages;
  ProcessRelayCommands(relay_);
  EXPECT_TRUE(Idle(relay_));
  EXPECT_EQ(ReadUserDword(kKey, u"Count"), 1);  // the later command wins
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, W(kKey), W(u"Name")), W(u"value text"));
  EXPECT_EQ(messages.Count(), 0);  // the empty run did nothing
  ProcessRelayCommands(relay_);    // an empty file is nothing to do
  DeleteFileW(relay_.W());
  ProcessRelayCommands(relay_);    // nor is a missing one
}

TEST_F(RelayFile, ReaderRunsAProgramAsItself) {
  ScriptedMessages messages;  // a failed run must not wait on a real message box
  const W out = folder_ / u"relayed";
  ASSERT_TRUE(WriteRelayText(relay_, W::Format(u"[run]\r\n%s\r\n%s\r\n1\r\n", FixturePath(u"plv_user.exe"), out)));
  ProcessRelayCommands(relay_);
  const MarkerRun run = ReadMarker(out);
  ASSERT_TRUE(run.ran);  // waited for: the marker is there at once
  EXPECT_EQ(run.parent, GetCurrentProcessId());
  EXPECT_TRUE(Idle(relay_));
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(RelayFile, CommandsBetweenTwoProcesses) {
  ScriptedMessages messages;
  DeleteUserValue(kKey, u"FromCopy");
  ASSERT_TRUE(RunHelperServingRelay(
      {W(u"send"), relay_, W(u"[setreg_hkcu_dword]"), W(u"FromCopy"), W(kKey), W(u"4294967295")}, relay_, 60000));
  EXPECT_EQ(ReadUserDword(kKey, u"FromCopy"), 0xFFFFFFFFLL);
  EXPECT_TRUE(PathExists(relay_ + u".sent"));

  ASSERT_TRUE(RunHelperServingRelay(
      {W(u"send"), relay_, W(u"[setreg_hkcu_string]"), W(u"Text"), W(kKey), W(u"with blanks and <Destination>")},
      relay_, 60000));
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, W(kKey), W(u"Text")), W(u"with blanks and <Destination>"));

  const W out = folder_ / u"byrelay";
  DWORD helper = 0;
  ASSERT_TRUE(RunHelperServingRelay(
      {W(u"send"), relay_, W(u"[run]"), FixturePath(u"plv_user.exe"), out, W(u"0")}, relay_, 60000, &helper));
  ASSERT_TRUE(WaitForFile(out + u".ran", 30000));
  EXPECT_EQ(ReadMarker(out).parent, GetCurrentProcessId());
  EXPECT_TRUE(Idle(relay_));
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(RelayFile, WriterWaitsForTheFirstProcessAndStopsWhenItHasGone) {
  DeleteUserValue(kKey, u"Orphan");
  // The helper starts a sender as its child and, without serving anything,
  // stays until it is released here.
  ScopedKernelHandle firstProcess(StartHelper({W(u"orphan"), relay_, W(u"120000")}));
  ASSERT_TRUE(firstProcess);
  bool written = false;
  for (DWORD start = GetTickCount(); !written && GetTickCount() - start < 60000; Sleep(50)) {
    written = FileSizeOf(relay_) != 0;
  }
  if (written) {
    Sleep(1000);
    EXPECT_FALSE(PathExists(relay_ + u".sent")) << "the sender must wait while its first process lives";
    EXPECT_NE(FileSizeOf(relay_), 0u);
  }
  ASSERT_TRUE(WriteWholeFile(relay_ + u".release", "go"));
  ASSERT_TRUE(written);
  EXPECT_EQ(WaitForSingleObject(firstProcess.Get(), 60000), DWORD(WAIT_OBJECT_0));
  EXPECT_TRUE(WaitForFile(relay_ + u".sent", 60000)) << "the sender must give up once its first process has gone";
  EXPECT_FALSE(PathExists(relay_));  // the unread command was taken away
  EXPECT_EQ(ReadUserDword(kKey, u"Orphan"), -1);
}

TEST_F(RelayFile, WriterWithoutRelayPathDropsTheCommand) {
  StringList lines;
  for (const WChar* line : {u"[setreg_hkcu_dword]", u"Lost", u"Software\\PloveTest", u"1"}) lines.Add(W(line));
  const DWORD start = GetTickCount();
  SendRelayCommand(W(), lines);
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 4000u);  // 50 attempts, 100 ms apart
  EXPECT_LT(elapsed, 60000u);  // loose: a busy machine stretches sleeps
}
