#include <gtest/gtest.h>

#include <string>

#include "engine/folder_macro_text.h"
#include "engine/run_rules.h"
#include "print_wide.h"

using W = WideString;

namespace {
bool Asks(const std::string& bytes) {
  return AsksForAdministrator(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
}  // namespace

TEST(RunRules, TempInstallMemberWithAndWithoutBackslash) {
  EXPECT_TRUE(IsTempInstallProgram(W(u"<TempInstall>setup.exe")));
  EXPECT_FALSE(IsTempInstallProgram(W(u"<tempinstall>setup.exe")));  // case-sensitive
  EXPECT_EQ(TempInstallMember(W(u"<TempInstall>setup.exe")), W(u"setup.exe"));
  EXPECT_EQ(TempInstallMember(W(u"<TempInstall>\\setup.exe")), W(u"setup.exe"));
  EXPECT_EQ(TempInstallMember(W(u"<TempInstall>\\\\x.exe")), W(u"\\x.exe"));  // one backslash only
  EXPECT_EQ(TempInstallMember(W(u"<TempInstall>")), W());
}

TEST(RunRules, AdministratorManifestTexts) {
  EXPECT_TRUE(Asks("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"));
  EXPECT_TRUE(Asks("xx LEVEL=REQUIREADMINISTRATOR xx"));
  EXPECT_TRUE(Asks(std::string("\0\0level=requireAdministrator", 28)));
  EXPECT_FALSE(Asks("<requestedExecutionLevel level=\"asInvoker\"/>"));
  EXPECT_FALSE(Asks("level = \"requireAdministrator\""));
  EXPECT_FALSE(Asks("level=\"requireAdministrato"));  // cut at the end
  EXPECT_FALSE(Asks(""));
}

TEST(RunRules, RunElevatedMarker) {
  W parameters(u"/quiet -RUNELEVATED /x -RUNELEVATED");
  EXPECT_TRUE(RemoveRunElevatedMarker(parameters));
  EXPECT_EQ(parameters, W(u"/quiet /x"));
  W other(u"-RUNELEVATED /a -runelevated");  // needs the blank, and the case
  EXPECT_FALSE(RemoveRunElevatedMarker(other));
  EXPECT_EQ(other, W(u"-RUNELEVATED /a -runelevated"));
}

TEST(RunRules, DocumentsAndCommandLines) {
  EXPECT_TRUE(OpensAsDocument(W(u"C:\\d\\readme.txt"), W()));
  EXPECT_FALSE(OpensAsDocument(W(u"C:\\d\\readme.txt"), W(u"/p")));
  EXPECT_FALSE(OpensAsDocument(W(u"C:\\d\\APP.EXE"), W()));
  EXPECT_TRUE(OpensAsDocument(W(u"C:\\d.exe\\noext"), W()));
  EXPECT_EQ(RunCommandLine(W(u"C:\\a b\\x.exe"), W()), W(u"\"C:\\a b\\x.exe\""));
  EXPECT_EQ(RunCommandLine(W(u"\"C:\\a b\\x.exe\""), W(u"/s")), W(u"\"C:\\a b\\x.exe\" /s"));
  EXPECT_EQ(RunCommandLine(W(u"C:\\a b\\x.exe"), W(u"/s /v")), W(u"\"C:\\a b\\x.exe\" /s /v"));
}

namespace {

// Folder macros as the installer expands them, with a UNC install folder.
void ExpandWithUncDestination(W& text) {
  SubstituteFolderMacro(text, FolderMacro::Destination, W(u"\\\\server\\share\\App"));
  SubstituteFolderMacro(text, FolderMacro::ProgramFiles, W(u"C:\\Program Files (x86)"));
  CollapseBackslashes(text);
}

}  // namespace

TEST(RunRules, ParametersAreExpandedWordByWord) {
  struct Case {
    const char16_t* parameters;
    const char16_t* expanded;
  } const cases[] = {
      // A UNC path keeps its leading pair wherever it stands in the line.
      {u"/s \"\\\\server\\share\\setup.log\"", u"/s \"\\\\server\\share\\setup.log\""},
      {u"/log \\\\server\\share\\x.log /q", u"/log \\\\server\\share\\x.log /q"},
      {u"\"<Destination>readme.txt\" /s", u"\"\\\\server\\share\\App\\readme.txt\" /s"},
      {u"<Destination>\\docs\\\\a.txt", u"\\\\server\\share\\App\\docs\\a.txt"},
      // Elsewhere doubled backslashes still become one.
      {u"/dir=C:\\\\a\\\\b", u"/dir=C:\\a\\b"},
      // An option's value after "=" is a word of its own.
      {u"/dir=<Destination> TARGET=\\\\server\\x", u"/dir=\\\\server\\share\\App\\ TARGET=\\\\server\\x"},
      // A blank inside a macro name does not end the word.
      {u"\"<Program Files>Plove\\x.txt\" <program files>",
       u"\"C:\\Program Files (x86)\\Plove\\x.txt\" C:\\Program Files (x86)\\"},
      // Blanks, tabs and quotes stay as they are.
      {u"  a \t \"\" b  ", u"  a \t \"\" b  "},
      {u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExpandParameterMacros(W(c.parameters), &ExpandWithUncDestination), W(c.expanded)) << W(c.parameters);
  }
}

TEST(RunRules, UncProgramWithParametersKeepsItsPair) {
  W program(u"\\\\server\\share\\x.exe");
  ExpandWithUncDestination(program);
  EXPECT_EQ(RunCommandLine(program, ExpandParameterMacros(W(u"/s"), &ExpandWithUncDestination)),
            W(u"\"\\\\server\\share\\x.exe\" /s"));
  W installed(u"<Destination>tool.exe");
  ExpandWithUncDestination(installed);
  EXPECT_EQ(RunCommandLine(installed, ExpandParameterMacros(W(u"\"<Destination>data\""), &ExpandWithUncDestination)),
            W(u"\"\\\\server\\share\\App\\tool.exe\" \"\\\\server\\share\\App\\data\""));
}

TEST(RunRules, NumberedFileNames) {
  EXPECT_EQ(NumberedFileName(W(u"setup.exe"), 1), W(u"setup.exe"));
  EXPECT_EQ(NumberedFileName(W(u"setup.exe"), 2), W(u"setup (2).exe"));
  EXPECT_EQ(NumberedFileName(W(u"my.app.setup.exe"), 12), W(u"my.app.setup (12).exe"));
  EXPECT_EQ(NumberedFileName(W(u"readme"), 3), W(u"readme (3)"));
  EXPECT_EQ(NumberedFileName(W(u".profile"), 2), W(u" (2).profile"));
}
