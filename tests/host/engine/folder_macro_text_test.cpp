#include <gtest/gtest.h>

#include "engine/folder_macro_text.h"
#include "print_wide.h"

using W = WideString;

namespace {

W Expand(W text, const W& destination, const W& programFiles) {
  SubstituteFolderMacro(text, FolderMacro::Destination, destination);
  SubstituteFolderMacro(text, FolderMacro::ProgramFiles, programFiles);
  CollapseBackslashes(text);
  return text;
}

}  // namespace

TEST(FolderMacroText, DestinationWithOrWithoutTrailingBackslashGivesOneSeparator) {
  EXPECT_EQ(Expand(W(u"<Destination>\\bin\\app.exe"), W(u"C:\\Apps\\Tool"), W()), W(u"C:\\Apps\\Tool\\bin\\app.exe"));
  EXPECT_EQ(Expand(W(u"<Destination>\\bin\\app.exe"), W(u"C:\\Apps\\Tool\\"), W()), W(u"C:\\Apps\\Tool\\bin\\app.exe"));
  // A macro followed directly by a name gets its separator from the value.
  EXPECT_EQ(Expand(W(u"<Destination>app.exe"), W(u"C:\\Apps"), W()), W(u"C:\\Apps\\app.exe"));
}

TEST(FolderMacroText, LaterMacroIsReplacedInsideAnEarlierValue) {
  // InstallTo may still hold "<Program Files>": it is substituted afterwards.
  EXPECT_EQ(Expand(W(u"<Destination>\\x.dll"), W(u"<Program Files>\\Tool"), W(u"C:\\Program Files (x86)")),
            W(u"C:\\Program Files (x86)\\Tool\\x.dll"));
}

TEST(FolderMacroText, NamesMatchInAnyLetterCaseAndEveryOccurrence) {
  EXPECT_EQ(Expand(W(u"<program files>a;<PROGRAM FILES>b"), W(), W(u"D:\\PF")), W(u"D:\\PF\\a;D:\\PF\\b"));
}

TEST(FolderMacroText, EmptyValueBecomesOneBackslash) {
  W text(u"<Program Files>\\x");
  SubstituteFolderMacro(text, FolderMacro::ProgramFiles, W());
  EXPECT_EQ(text, W(u"\\\\x"));
  CollapseBackslashes(text);  // now a leading pair, kept as UNC
  EXPECT_EQ(text, W(u"\\\\x"));
}

TEST(FolderMacroText, ValueHoldingTheMacroNameIsNotSearchedAgain) {
  W text(u"<Source>");
  SubstituteFolderMacro(text, FolderMacro::Source, W(u"C:\\<Source>"));
  EXPECT_EQ(text, W(u"C:\\<Source>\\"));
}

TEST(FolderMacroText, BackslashCollapsing) {
  struct Case {
    const WChar* in;
    const WChar* out;
  } cases[] = {
      {u"\\\\server\\share\\\\file", u"\\\\server\\share\\file"},  // UNC pair kept
      {u"C:\\a\\\\\\b", u"C:\\a\\\\b"},                            // three become two
      {u"C:\\a\\\\\\\\b", u"C:\\a\\\\b"},                          // four become two
      {u"plain text", u"plain text"},
      {u"<TempInstall>setup.exe", u"<TempInstall>setup.exe"},
      {u"", u""},
      {u"\\\\", u"\\\\"},
      {u"\\\\\\x", u"\\\\\\x"},  // UNC pair kept, the third stays
  };
  for (const Case& c : cases) {
    W text(c.in);
    CollapseBackslashes(text);
    EXPECT_EQ(text, W(c.out)) << W(c.in);
  }
}

TEST(FolderMacroText, NamesInTableOrder) {
  EXPECT_EQ(W(FolderMacroName(FolderMacro::System)), W(u"<System>"));
  EXPECT_EQ(W(FolderMacroName(FolderMacro::SystemWow64)), W(u"<SystemWOW64>"));
  EXPECT_EQ(W(FolderMacroName(FolderMacro::StartPrograms)), W(u"<Start Programs>"));
  EXPECT_EQ(W(FolderMacroName(FolderMacro::DeskTop)), W(u"<DeskTop>"));
  EXPECT_EQ(W(FolderMacroName(FolderMacro::QuickLaunch)), W(u"<QuickLaunch>"));
  EXPECT_EQ(W(FolderMacroName(FolderMacro::MyDocuments)), W(u"<MyDocuments>"));
  EXPECT_EQ(static_cast<int>(FolderMacro::Source) + 1, kFolderMacroCount);
}
