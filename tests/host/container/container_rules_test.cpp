#include "container/container_rules.h"

#include <gtest/gtest.h>

#include "app/outcome.h"
#include "print_wide.h"

using W = WideString;

TEST(ContainerRules, InnerInstallerNames) {
  struct Case {
    const char16_t* member;
    bool inner;
    bool win64;
  };
  const Case cases[] = {
      {u"App.exe", true, false},
      {u"App__PLI_WIN64.exe", true, true},
      // The marker is case-sensitive and may stand anywhere in the name.
      {u"App__pli_win64.exe", true, false},
      {u"x64\\__PLI_WIN64App.exe", true, true},
      // "setup" with any extension, or none, in any case, also in a folder.
      {u"setup.dat", false, false},
      {u"setup.bmp", false, false},
      {u"setup.lic", false, false},
      {u"Setup.EXE", false, false},
      {u"SETUP", false, false},
      {u"runtime\\setup.exe", false, false},
      // Only the last extension goes: the rest is part of the name.
      {u"setup.old.exe", true, false},
      {u"setup64.exe", true, false},
      {u"mysetup.exe", true, false},
      // A dot in a folder name is no extension.
      {u"setup.d\\app.exe", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(W(c.member).ToUtf8());
    EXPECT_EQ(IsInnerInstallerName(W(c.member)), c.inner);
    EXPECT_EQ(Is64BitVariantName(W(c.member)), c.win64);
  }
}

TEST(ContainerRules, BitnessChoiceAndSelection) {
  struct Case {
    const char* what;
    BitnessInputs inputs;
    bool use32, use64, force;
    bool runs32, runs64;  // App.exe, App__PLI_WIN64.exe
  };
  // has64, force32Asked, is64BitWindows, conditionHolds
  const Case cases[] = {
      {"no variants: every one runs", {false, true, true, true}, false, false, false, true, true},
      {"64-bit Windows", {true, false, true, false}, false, true, false, false, true},
      {"32-bit Windows", {true, false, false, false}, true, false, false, true, false},
      {"--force32bit on 64-bit Windows", {true, true, true, false}, true, false, true, true, false},
      {"--force32bit on 32-bit Windows", {true, true, false, false}, true, false, true, true, false},
      {"condition on 64-bit Windows", {true, false, true, true}, true, false, true, true, false},
      {"condition on 32-bit Windows", {true, false, false, true}, true, false, true, true, false},
      {"condition and --force32bit", {true, true, true, true}, true, false, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BitnessChoice choice = ChooseBitness(c.inputs);
    EXPECT_EQ(choice.use32Bit, c.use32);
    EXPECT_EQ(choice.use64Bit, c.use64);
    EXPECT_EQ(choice.passForce32Bit, c.force);
    EXPECT_EQ(SelectedForRun(W(u"App.exe"), c.inputs.has64BitVariants, choice), c.runs32);
    EXPECT_EQ(SelectedForRun(W(u"App__PLI_WIN64.exe"), c.inputs.has64BitVariants, choice), c.runs64);
  }
}

TEST(ContainerRules, MessageKindsAndTexts) {
  // Exact case, whole line; the named kinds are shown by the Wine tests.
  EXPECT_EQ(MessageKindOf(W(u"error")), MessageKind::Plain);
  EXPECT_EQ(MessageKindOf(W(u"questionyesno")), MessageKind::Plain);
  EXPECT_EQ(MessageKindOf(W(u"Warning ")), MessageKind::Plain);
  EXPECT_EQ(MessageKindOf(W(u"")), MessageKind::Plain);

  EXPECT_EQ(MessageText(W(u"One\\nTwo\\n\\nThree")), W(u"One\r\nTwo\r\n\r\nThree"));
  // A path in the text is not spared.
  EXPECT_EQ(MessageText(W(u"C:\\new\\file")), W(u"C:\r\new\\file"));
  EXPECT_EQ(MessageText(W(u"No breaks")), W(u"No breaks"));

  EXPECT_TRUE(IsForce32BitConditionText(W(u"AppPath{force32bitinstallif}bin\\x.dll")));
  // Even a malformed condition line is never shown.
  EXPECT_TRUE(IsForce32BitConditionText(W(u"a{force32bitinstallif}b{force32bitinstallif}c")));
  EXPECT_FALSE(IsForce32BitConditionText(W(u"a{Force32BitInstallIf}b")));
}

TEST(ContainerRules, ExitCodeOfTheContainer) {
  const InnerRun notStarted{false, false, 0};
  auto exited = [](uint32_t code) { return InnerRun{true, true, code}; };
  const InnerRun unknown{true, false, 0};
  struct Case {
    const char* what;
    std::vector<InnerRun> runs;
    bool answeredNo;
    bool containerRestart;
    int code;
  };
  const Case cases[] = {
      {"nothing to run", {}, false, false, kExitSuccess},
      {"all done", {exited(0), exited(0)}, false, false, kExitSuccess},
      {"code unknown counts as done", {unknown}, false, false, kExitSuccess},
      {"restart needed", {exited(0), exited(3010)}, false, false, kExitRestartNeeded},
      {"container asked for the restart", {exited(3010)}, false, true, kExitRestartStarted},
      {"an inner installer started the restart", {exited(1641), exited(3010)}, false, false, kExitRestartStarted},
      {"cancelled beats restart", {exited(3010), exited(1602)}, false, false, kExitCancelled},
      {"question answered No", {}, true, false, kExitCancelled},
      {"failed beats cancelled", {exited(1602), exited(1603), exited(3010)}, false, false, kExitFailed},
      {"not started is a failure", {exited(0), notStarted}, false, false, kExitFailed},
      {"any other code is a failure", {exited(2)}, false, false, kExitFailed},
      {"a crash code is a failure", {exited(0xC0000005u)}, false, false, kExitFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ContainerTally tally;
    for (const InnerRun& run : c.runs) tally.Add(run);
    if (c.answeredNo) tally.AnsweredNo();
    EXPECT_EQ(tally.ExitCode(c.containerRestart), c.code);
  }
  ContainerTally restart;
  restart.Add(exited(3010));
  EXPECT_TRUE(restart.AnyNeedsRestart());
  EXPECT_FALSE(restart.AnyStartedRestart());
}
