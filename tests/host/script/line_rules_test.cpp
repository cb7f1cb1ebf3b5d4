#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "print_wide.h"
#include "script/line_rules.h"

namespace {

std::vector<WideString> Lines(const std::string& bytes, bool wide = false) {
  ScriptLineReader reader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), wide);
  std::vector<WideString> lines;
  WideString line;
  while (reader.Next(line)) lines.push_back(line);
  return lines;
}

std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

}  // namespace

TEST(LineRules, AllThreeLineEndsGiveTheSameLines) {
  std::vector<WideString> expected = {WideString(u"[CopyFile]"), WideString(u"a.exe"), WideString(),
                                      WideString(u"<Destination>a.exe")};
  EXPECT_EQ(Lines("[CopyFile]\r\na.exe\r\n\r\n<Destination>a.exe\r\n"), expected);
  EXPECT_EQ(Lines("[CopyFile]\na.exe\n\n<Destination>a.exe\n"), expected);
  EXPECT_EQ(Lines("[CopyFile]\ra.exe\r\r<Destination>a.exe\r"), expected);
  EXPECT_EQ(Lines("[CopyFile]\ra.exe\n\r\n<Destination>a.exe"), expected) << "mixed, no final line end";
}

TEST(LineRules, LastLineAndEmptyLinesAtTheEnd) {
  EXPECT_EQ(Lines("a\nb").size(), 2u);
  EXPECT_EQ(Lines("a\nb\n").size(), 2u) << "a final line end adds no empty line";
  EXPECT_EQ(Lines("").size(), 0u);
  EXPECT_EQ(Lines("\n").size(), 1u);
  // An empty line ended by LF counts; one ended by a lone CR at the very end does not.
  EXPECT_EQ(Lines("a\n\n").size(), 2u);
  EXPECT_EQ(Lines("a\r\r").size(), 1u);
  EXPECT_EQ(Lines("a\r").size(), 1u);
  EXPECT_EQ(Lines("a\r\n\r\nb").size(), 3u);
}

TEST(LineRules, NothingIsTrimmedAndBytesMapThroughTheCodePage) {
  auto lines = Lines("  [Action] \t\n\xE9t\xE9\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], WideString(u"  [Action] \t"));
  EXPECT_EQ(lines[1], WideString(u"\u00E9t\u00E9"));
  // A UTF-8 byte-order mark is not recognised in narrow mode.
  auto bom = Lines("\xEF\xBB\xBFx");
  ASSERT_EQ(bom.size(), 1u);
  EXPECT_EQ(bom[0].Length(), 4);
}

TEST(LineRules, WideModeDropsByteOrderMarkOnlyAtLineStart) {
  auto lines = Lines(Utf16(u"\uFEFF[run]\r\nC:\\a\uFEFFb.exe\n\uFEFF\n"), true);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], WideString(u"[run]"));
  EXPECT_EQ(lines[1], WideString(u"C:\\a\uFEFFb.exe"));
  EXPECT_TRUE(lines[2].IsEmpty());
  // An odd trailing byte is not a unit.
  std::string odd = Utf16(u"ab") + "x";
  auto two = Lines(odd, true);
  ASSERT_EQ(two.size(), 1u);
  EXPECT_EQ(two[0], WideString(u"ab"));
}

TEST(LineRules, RawBytesAndLineNumbers) {
  std::string text = "one\r\n\xFFtwo\n";
  ScriptLineReader reader(reinterpret_cast<const uint8_t*>(text.data()), text.size(), false);
  std::string raw;
  ASSERT_TRUE(reader.NextRaw(raw));
  EXPECT_EQ(raw, "one");
  EXPECT_EQ(reader.LineNumber(), 1);
  ASSERT_TRUE(reader.NextRaw(raw));
  EXPECT_EQ(raw, "\xFFtwo");
  EXPECT_EQ(reader.LineNumber(), 2);
  EXPECT_FALSE(reader.NextRaw(raw));
}
