#include <gtest/gtest.h>

#include <vector>

#include "print_wide.h"
#include "util/command_line_text.h"
#include "util/path_text.h"

using W = WideString;

TEST(PathText, ExtensionAndStripExtensionWithDotInFolderName) {
  EXPECT_EQ(Extension(W(u"C:\\dir.x\\file")), W(u"."));
  EXPECT_EQ(StripExtension(W(u"C:\\dir.x\\file")), W(u"C:\\dir"));
  EXPECT_EQ(Extension(W(u"C:\\a\\b.TXT")), W(u".TXT"));
  EXPECT_EQ(Extension(W(u"noext")), W(u"."));
  EXPECT_EQ(StripExtension(W(u"a.tar.gz")), W(u"a.tar"));
  EXPECT_EQ(BaseName(W(u"C:\\a\\prog.exe")), W(u"prog"));
}

TEST(PathText, FileNameParentFolderAndBackslashes) {
  EXPECT_EQ(ParentFolder(W(u"C:\\a\\b.txt")), W(u"C:\\a\\"));
  EXPECT_EQ(ParentFolder(W(u"bare")), W(u"bare"));
  EXPECT_EQ(FileName(W(u"bare.txt")), W(u"bare.txt"));
  EXPECT_EQ(FileName(W(u"C:\\a\\")), W());
  W p(u"C:\\a");
  AddBackslash(p);
  AddBackslash(p);
  EXPECT_EQ(p, W(u"C:\\a\\"));
  W q(u"C:\\a\\\\\\");
  RemoveTrailingBackslashes(q);
  EXPECT_EQ(q, W(u"C:\\a"));
  EXPECT_TRUE(SamePath(W(u"C:\\PROGRAM FILES"), W(u"c:\\program files")));
}

TEST(PathText, LongPathFormAtTheLimit) {
  // Names of letters (a name of blanks only is none: Windows drops them).
  const W p259 = W(u"C:\\") + W(std::u16string(256, u'a'));
  const W p260 = p259 + u"a";
  EXPECT_EQ(LongPathForm(p259, 260), p259);
  EXPECT_EQ(LongPathForm(p260, 260), u"\\\\?\\" + p260);
  W unc(u"\\\\server\\share\\");
  unc.PadTo(400);
  EXPECT_EQ(LongPathForm(unc, 260), unc) << "paths starting with \\\\ stay";
  EXPECT_EQ(LongPathForm(p259, 248), u"\\\\?\\" + p259);
  // The prefixed form names the file the plain one names.
  const struct {
    const char16_t* plain;
    const char16_t* prefixed;
  } cases[] = {
      {u"C:\\a\\b. ", u"\\\\?\\C:\\a\\b"},
      {u"C:\\a.\\b..", u"\\\\?\\C:\\a\\b"},
      {u"C:\\a\\..\\.\\b\\\\c", u"\\\\?\\C:\\b\\c"},
      {u"C:\\a...\\b\\", u"\\\\?\\C:\\a...\\b\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(LongPathForm(W(c.plain), 1), W(c.prefixed)) << W(c.plain).ToUtf8();
}

namespace {
std::vector<WideString> Levels(const char16_t* path) {
  StringList list;
  FolderTreeLevels(W(path), list);
  std::vector<WideString> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Item(i));
  return out;
}
}  // namespace

TEST(PathText, FolderTreeLevelsStopAtEachKindOfRoot) {
  using L = std::vector<WideString>;
  EXPECT_EQ(Levels(u"C:\\a\\b"), (L{W(u"C:\\a"), W(u"C:\\a\\b")}));
  EXPECT_EQ(Levels(u"C:\\a\\b\\\\"), (L{W(u"C:\\a"), W(u"C:\\a\\b")}));
  // Doubled separators never reach a level: a "\\?\" path is not normalised.
  EXPECT_EQ(Levels(u"\\\\?\\C:\\a\\\\b"), (L{W(u"\\\\?\\C:\\a"), W(u"\\\\?\\C:\\a\\b")}));
  EXPECT_EQ(Levels(u"C:\\\\a"), (L{W(u"C:\\a")}));
  EXPECT_EQ(Levels(u"\\\\server\\share\\x"), (L{W(u"\\\\server\\share"), W(u"\\\\server\\share\\x")}));
  EXPECT_EQ(Levels(u"\\\\?\\UNC\\srv\\s"), (L{W(u"\\\\?\\UNC\\srv"), W(u"\\\\?\\UNC\\srv\\s")}));
  EXPECT_TRUE(Levels(u"C:\\").empty());
  EXPECT_TRUE(Levels(u"C:").empty());
  EXPECT_TRUE(Levels(u"\\\\?\\C:\\").empty());
  EXPECT_TRUE(Levels(u"").empty());
}

TEST(CommandLineText, ArgumentsAfterTheProgramPart) {
  EXPECT_EQ(ArgumentsAfterProgram(W(u"\"C:\\My Apps\\setup.exe\"  --silent  ")), W(u"--silent"));
  EXPECT_EQ(ArgumentsAfterProgram(W(u"setup.exe --installto=\"C:\\x y\"")), W(u"--installto=\"C:\\x y\""));
  EXPECT_EQ(ArgumentsAfterProgram(W(u"setup.exe")), W());
  EXPECT_EQ(ArgumentsAfterProgram(W(u"\"unclosed")), W());
  EXPECT_EQ(UnquoteModulePath(W(u"\"C:\\a b\\x.exe\" junk")), W(u"C:\\a b\\x.exe"));
  EXPECT_EQ(UnquoteModulePath(W(u"C:\\x.exe")), W(u"C:\\x.exe"));
}
