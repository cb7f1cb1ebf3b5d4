#include <gtest/gtest.h>

#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/disk_file.h"
#include "util/win/message_door.h"

TEST(DiskFile, OpenMissingForReadAsksRetryCancelAndHonoursCancel) {
  TestFolder folder;
  ScriptedMessages messages(IDCANCEL);
  DiskFile file;
  WideString path = folder / u"missing.bin";
  EXPECT_FALSE(file.Open(path, GENERIC_READ, OPEN_EXISTING, true));
  EXPECT_FALSE(file.IsOpen());
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, u"Unable to open '" + path + u"'");
  EXPECT_EQ(messages.Last().caption, WideString(u"File Read Error"));
  EXPECT_EQ(messages.Last().flags, UINT(MB_RETRYCANCEL | MB_ICONINFORMATION));
  EXPECT_EQ(messages.Last().owner, nullptr);
}

TEST(DiskFile, OpenForWriteUsesWriteCaptionAndRetryTriesAgain) {
  TestFolder folder;
  ScriptedMessages messages(IDCANCEL);
  messages.Answer(IDRETRY);
  messages.Answer(IDRETRY);
  DiskFile file;
  // A folder that does not exist: every attempt fails.
  WideString path = folder / u"no\\such\\file.bin";
  EXPECT_FALSE(file.Open(path, GENERIC_WRITE, CREATE_ALWAYS, true));
  ASSERT_EQ(messages.Count(), 3);
  EXPECT_EQ(messages.Last().caption, WideString(u"File Write Error"));
}

TEST(DiskFile, RetryAfterTheCauseIsGoneSucceeds) {
  TestFolder folder;
  WideString path = folder / u"late.bin";
  struct Context {
    WideString path;
    int calls = 0;
  } context{path};
  // A responder that creates the file before answering Retry.
  SetMessageResponder(
      [](void* c, HWND, const WideString&, const WideString&, UINT) {
        auto* ctx = static_cast<Context*>(c);
        ++ctx->calls;
        WriteWholeFile(ctx->path, "x");
        return IDRETRY;
      },
      &context);
  DiskFile file;
  EXPECT_TRUE(file.Open(path, GENERIC_READ, OPEN_EXISTING, true));
  SetMessageResponder(nullptr, nullptr);
  EXPECT_EQ(context.calls, 1);
}

TEST(DiskFile, WithoutReportingNothingIsShown) {
  TestFolder folder;
  ScriptedMessages messages;
  DiskFile file;
  EXPECT_FALSE(file.Open(folder / u"missing", GENERIC_READ, OPEN_EXISTING, false));
  EXPECT_EQ(file.Read(nullptr, 0), 0u);
  EXPECT_EQ(messages.Count(), 0);
}

TEST(DiskFile, ReadOnClosedFileWithReportingShowsReadBox) {
  ScriptedMessages messages(IDCANCEL);
  DiskFile file;
  file.SetReportErrors(true);
  char buffer[4];
  EXPECT_EQ(file.Read(buffer, 4), 0u);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, WideString(u"Unable to read from ''"));
  EXPECT_EQ(messages.Last().caption, WideString(u"File Read Error"));
}

TEST(DiskFile, ShortReadAtEndOfFileIsNotAnError) {
  TestFolder folder;
  ScriptedMessages messages;
  WideString path = folder / u"five.txt";
  ASSERT_TRUE(WriteWholeFile(path, "12345"));
  DiskFile file;
  ASSERT_TRUE(file.Open(path, GENERIC_READ, OPEN_EXISTING, true));
  char buffer[16];
  EXPECT_EQ(file.Read(buffer, 16), 5u);
  EXPECT_EQ(file.Read(buffer, 16), 0u);
  EXPECT_EQ(file.Size(), 5u);
  EXPECT_TRUE(file.Seek(2, false));
  EXPECT_TRUE(file.Seek(1, true));
  EXPECT_EQ(file.Read(buffer, 16), 2u);
  EXPECT_EQ(std::string(buffer, 2), "45");
  // Seeking past the end is allowed (and reads nothing there); seeking
  // before the start, or on a closed file, fails.
  EXPECT_TRUE(file.Seek(100, false));
  EXPECT_EQ(file.Read(buffer, 16), 0u);
  EXPECT_FALSE(file.Seek(-200, true));
  EXPECT_TRUE(file.Seek(-97, true)) << "a failed seek leaves the position alone";
  EXPECT_EQ(file.Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], '4');
  EXPECT_EQ(messages.Count(), 0);
  file.Close();
  EXPECT_FALSE(file.Seek(0, false));
  EXPECT_EQ(file.Size(), 0u);
}

TEST(DiskFile, NullBufferWrites) {
  TestFolder folder;
  ScriptedMessages messages(IDOK);
  DiskFile file;
  ASSERT_TRUE(file.Open(folder / u"out.bin", GENERIC_WRITE, CREATE_ALWAYS, true));
  EXPECT_TRUE(file.Write(nullptr, 0));
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_FALSE(file.Write(nullptr, 3));
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, WideString(u"Error writing a NULL buffer to file"));
  EXPECT_EQ(messages.Last().caption, WideString(u"File Write Error"));
  EXPECT_EQ(messages.Last().flags, UINT(MB_OK | MB_ICONINFORMATION));
}

TEST(DiskFile, WriteToReadOnlyHandleAsksAndCancelFails) {
  TestFolder folder;
  ScriptedMessages messages(IDCANCEL);
  WideString path = folder / u"ro.bin";
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  DiskFile file;
  ASSERT_TRUE(file.Open(path, GENERIC_READ, OPEN_EXISTING, true));
  EXPECT_FALSE(file.Write("zz", 2));
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, u"Unable to write to '" + path + u"'");
  EXPECT_EQ(messages.Last().caption, WideString(u"File Write Error"));
}

TEST(DiskFile, WriteTextAddsCrLfAndAttachedHandleIsNotClosed) {
  TestFolder folder;
  WideString path = folder / u"text.txt";
  {
    DiskFile file;
    ASSERT_TRUE(file.Open(path, GENERIC_WRITE, CREATE_ALWAYS, false));
    EXPECT_TRUE(file.WriteText("one", true));
    EXPECT_TRUE(file.WriteText("two", false));
  }
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes, "one\r\ntwo");

  HANDLE raw = CreateFileW(path.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(raw, INVALID_HANDLE_VALUE);
  {
    DiskFile attached;
    attached.Attach(raw);
  }
  DWORD flags = 0;
  EXPECT_TRUE(GetHandleInformation(raw, &flags)) << "an attached handle must stay open";
  CloseHandle(raw);
}

TEST(DiskFile, RealReadErrorAsksAndRetryReadsAgain) {
  TestFolder folder;
  ScriptedMessages messages(IDCANCEL);
  messages.Answer(IDRETRY);
  WideString path = folder / u"write-only.bin";
  ASSERT_TRUE(WriteWholeFile(path, "abc"));
  DiskFile file;
  ASSERT_TRUE(file.Open(path, GENERIC_WRITE, OPEN_EXISTING, true));
  char buffer[4];
  EXPECT_EQ(file.Read(buffer, 3), 0u);
  ASSERT_EQ(messages.Count(), 2);
  EXPECT_EQ(messages.Last().text, u"Unable to read from '" + path + u"'");
  EXPECT_EQ(messages.Last().caption, WideString(u"File Read Error"));
  EXPECT_EQ(messages.Last().flags, UINT(MB_RETRYCANCEL | MB_ICONINFORMATION));
}
