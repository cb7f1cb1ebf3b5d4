#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_messages.h"
#include "script/win/read_line.h"
#include "test_folder.h"
#include "util/win/disk_file.h"

namespace {

std::vector<WideString> FileLines(const WideString& path, const std::string& bytes, bool wide) {
  std::vector<WideString> lines;
  if (!WriteWholeFile(path, bytes.data(), bytes.size())) return lines;
  DiskFile file;
  if (!file.Open(path, GENERIC_READ, OPEN_EXISTING, true)) return lines;
  WideString line;
  while (ReadLine(file, line, wide)) lines.push_back(line);
  // The reader that reads ahead gives the same lines, again after a rewind.
  EXPECT_TRUE(file.Seek(0, false));
  LineReader reader(file, wide);
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<WideString> again;
    while (reader.Next(line)) again.push_back(line);
    EXPECT_EQ(again, lines) << "pass " << pass;
    EXPECT_TRUE(reader.Rewind());
  }
  return lines;
}

}  // namespace

TEST(ReadLine, LoneCarriageReturnsStepBackAndEndOfFileEndsQuietly) {
  TestFolder folder;
  ScriptedMessages messages;
  using L = std::vector<WideString>;
  WideString path = folder / u"script.dat";
  EXPECT_EQ(FileLines(path, "[Action]\rone\r\rtwo", false),
            (L{WideString(u"[Action]"), WideString(u"one"), WideString(), WideString(u"two")}));
  // A CR as the last unit ends the last line; a lone CR after it is no line.
  EXPECT_EQ(FileLines(path, "a\r\n\r", false), (L{WideString(u"a")}));
  EXPECT_EQ(FileLines(path, "\n", false), (L{WideString()}));
  EXPECT_TRUE(FileLines(path, "", false).empty());
  EXPECT_EQ(messages.Count(), 0) << "the end of the file is not a read error";
}

TEST(ReadLine, WideModeDropsTheByteOrderMarkAtLineStarts) {
  TestFolder folder;
  std::u16string text = u"\uFEFF[run]\rC:\\a\uFEFF.exe\r\n";
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  bytes.push_back('x');  // half a unit at the end is no unit
  auto lines = FileLines(folder / u"relay.tmp", bytes, true);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], WideString(u"[run]"));
  EXPECT_EQ(lines[1], WideString(u"C:\\a\uFEFF.exe"));
}

TEST(ReadLine, ValueLinesMissingAtTheEndStayEmpty) {
  TestFolder folder;
  WideString path = folder / u"cut.dat";
  ASSERT_TRUE(WriteWholeFile(path, "[CopyFile]\r\nsetup.exe"));
  DiskFile file;
  ASSERT_TRUE(file.Open(path, GENERIC_READ, OPEN_EXISTING, false));
  WideString line;
  ASSERT_TRUE(ReadLine(file, line, false));
  WideString values[2] = {WideString(u"stale"), WideString(u"stale")};
  ReadValueLines(file, values, 2);
  EXPECT_EQ(values[0], WideString(u"setup.exe"));
  EXPECT_TRUE(values[1].IsEmpty());
}

TEST(ReadLine, LinesAcrossTheReadAheadBlocks) {
  TestFolder folder;
  // A CR as the last byte of the reader's first block, its LF in the next;
  // a lone CR as the last byte of the second, stepped back over in the third.
  std::string bytes(16383, 'a');
  bytes += "\r\nb";
  bytes += std::string(16381, 'c');
  bytes += "\rd";
  auto lines = FileLines(folder / u"long.dat", bytes, false);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Length(), 16383);
  EXPECT_EQ(lines[1].Length(), 16382);
  EXPECT_EQ(lines[2], WideString(u"d"));
}

// Runs in the suite's second run, under a Japanese locale (ANSI code page
// 932), where a character of a file name is a lead and a trail byte.
TEST(ReadLine, DoubleByteCharactersOfTheCodePageComeOutWhole) {
  if (GetACP() != 932) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
  TestFolder folder;
  using L = std::vector<WideString>;
  // "日本.txt" and, at the end of the file without a line end, "表" (whose
  // trail byte is a backslash in ASCII).
  EXPECT_EQ(FileLines(folder / u"script.dat", "\x93\xfa\x96\x7b.txt\r\n\x95\x5c", false),
            (L{WideString(u"\u65e5\u672c.txt"), WideString(u"\u8868")}));
}
