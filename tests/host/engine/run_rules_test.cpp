#include <gtest/gtest.h>

#include <string>

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
  EXPECT_EQ(RunCommandLine(W(u"C:\\a b\\x.exe"), W()), W(u"C:\\a b\\x.exe"));
  EXPECT_EQ(RunCommandLine(W(u"C:\\a b\\x.exe"), W(u"/s /v")), W(u"\"C:\\a b\\x.exe\" /s /v"));
}
