// Containers of the real installer: which inner installers run and with
// which parameters, the script's messages, the progress window, and the
// container's exit code.

#include <gtest/gtest.h>

#include "container_test_support.h"
#include "resources/resource_ids.h"
#include "util/win/registry.h"
#include "window_driver.h"

namespace {

const char kContainerScript[] = "[InstallContainer]\r\n";
const WideString kSavedFolders(u"Software\\PloveInstall");

// "member|parameters" per start, one a line.
std::string Described(const std::vector<InnerStart>& starts) {
  std::string text;
  for (const InnerStart& start : starts) text += start.member + "|" + start.parameters + "\n";
  return text;
}

std::vector<PackSource> Probes(const std::vector<std::string>& names) {
  std::vector<PackSource> probes;
  for (const std::string& name : names) probes.push_back(InnerProbe(name));
  return probes;
}

WideString PackContainer(const TestFolder& folder, const std::string& script, const std::vector<std::string>& inner) {
  return PackSetup(folder, u"container.exe", ContainerPayload(script, Probes(inner)));
}

}  // namespace

TEST(ContainerInstall, ChoosesTheVariantsAndPassesTheParameters) {
  TestFolder folder;
  // Tools.exe has no 64-bit twin: it goes with the 32-bit variants.
  const WideString container = PackContainer(folder, kContainerScript, {"App.exe", "App__PLI_WIN64.exe", "Tools.exe"});
  struct Case {
    const WChar* arguments;
    bool rightShift;
    const char* starts;
  };
  const Case cases[] = {
      {u"--silent", false, "App__PLI_WIN64.exe| --silent --noautoreboot --selfrun\n"},
      {u"--silent --force32bit", false,
       "App.exe| --force32bit --silent --noautoreboot --selfrun\n"
       "Tools.exe| --force32bit --silent --noautoreboot --selfrun\n"},
      {u"--silent", true,
       "App.exe| --force32bit --silent --noautoreboot --selfrun\n"
       "Tools.exe| --force32bit --silent --noautoreboot --selfrun\n"},
      {u"", false, "App__PLI_WIN64.exe| --noautoreboot --selfrun\n"},
      {u"", true, "App.exe| --force32bit --noautoreboot --selfrun\nTools.exe| --force32bit --noautoreboot --selfrun\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideString(c.arguments).ToUtf8() + (c.rightShift ? " with right Shift" : ""));
    ContainerProcess run(container, c.arguments, {}, c.rightShift);
    EXPECT_EQ(run.Process().Wait(), 0u);
    EXPECT_EQ(Described(run.Starts()), c.starts);
    EXPECT_TRUE(run.Process().Messages().empty());
    EXPECT_EQ(run.Process().Leftovers(), std::vector<WideString>());
  }
  // Every extracted installer was deleted after its run.
  EXPECT_EQ(ExtractedCopies(), std::vector<WideString>());
}

TEST(ContainerInstall, Force32BitConditionLine) {
  TestFolder folder;
  const std::string script = std::string(kContainerScript) +
                             "[Message]\r\nPloveContainerTest{force32bitinstallif}bin\\old32.dll\r\nInformation\r\n"
                             "[Message]\r\nHello\r\nInformation\r\n";
  const WideString container = PackContainer(folder, script, {"App.exe", "App__PLI_WIN64.exe"});
  const WideString product = folder / u"Old Product";
  CreateDirectoryW(product.W(), nullptr);
  CreateDirectoryW((product + u"\\bin").W(), nullptr);
  struct Case {
    const char* what;
    const WChar* savedFolder;  // nullptr: no saved value
    bool filePresent;
    const char* starts;
  };
  const WideString withSlash = product + u"\\";
  const Case cases[] = {
      {"folder saved, file there", withSlash.Text(), true, "App.exe| --force32bit --noautoreboot --selfrun\n"},
      {"saved without a final backslash", product.Text(), true, "App.exe| --force32bit --noautoreboot --selfrun\n"},
      {"file missing", withSlash.Text(), false, "App__PLI_WIN64.exe| --noautoreboot --selfrun\n"},
      {"no saved folder", nullptr, true, "App__PLI_WIN64.exe| --noautoreboot --selfrun\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSavedFolders, u"PloveContainerTest");
    if (c.savedFolder != nullptr) {
      ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, kSavedFolders, u"PloveContainerTest", c.savedFolder));
    }
    const WideString file = product + u"\\bin\\old32.dll";
    if (c.filePresent) {
      ASSERT_TRUE(WriteWholeFile(file, "dll"));
    } else {
      DeleteFileW(file.W());
    }
    ContainerProcess run(container, u"");
    EXPECT_EQ(run.Process().Wait(), 0u);
    EXPECT_EQ(Described(run.Starts()), c.starts);
    // The condition is never shown; the message beside it is.
    std::vector<TranscriptMessage> messages = run.Process().Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, WideString(u"Hello"));
  }
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSavedFolders, u"PloveContainerTest");
}

TEST(ContainerInstall, MessagesAndTheQuestion) {
  TestFolder folder;
  const std::string script = std::string(kContainerScript) +
                             "[Message]\r\nFirst line\\nSecond line\r\nError\r\n"
                             "[Message]\r\nQuestion\r\nQuestion\r\n"
                             "[Message]\r\nInformation\r\nInformation\r\n"
                             "[Message]\r\nWarning\r\nWarning\r\n"
                             "[Message]\r\nPlain\r\nwarning\r\n"
                             "[Message]\r\nGo on?\r\nQuestionYesNo\r\n"
                             "[Message]\r\nAfter the question\r\nInformation\r\n";
  const WideString container = PackContainer(folder, script, {"App.exe"});
  struct Shown {
    const WChar* text;
    UINT flags;
  };
  const Shown all[] = {{u"First line\r\nSecond line", MB_OK | MB_ICONERROR},
                       {u"Question", MB_OK | MB_ICONQUESTION},
                       {u"Information", MB_OK | MB_ICONINFORMATION},
                       {u"Warning", MB_OK | MB_ICONWARNING},
                       {u"Plain", MB_OK},
                       {u"Go on?", MB_YESNO | MB_ICONQUESTION},
                       {u"After the question", MB_OK | MB_ICONINFORMATION}};
  struct Case {
    const WChar* arguments;
    int answer;  // to the question
    DWORD code;
    size_t shown;
    const char* starts;
  };
  const Case cases[] = {
      {u"", IDYES, 0, 7, "App.exe| --noautoreboot --selfrun\n"},
      {u"", IDNO, 1602, 6, ""},
      // Silent: nothing is shown, the question is not asked, the runs go on.
      {u"--silent", IDNO, 0, 0, "App.exe| --silent --noautoreboot --selfrun\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideString(c.arguments).ToUtf8() + " answer " + std::to_string(c.answer));
    ContainerProcess run(container, c.arguments, {IDOK, IDOK, IDOK, IDOK, IDOK, c.answer});
    EXPECT_EQ(run.Process().Wait(), c.code);
    EXPECT_EQ(Described(run.Starts()), c.starts);
    std::vector<TranscriptMessage> messages = run.Process().Messages();
    ASSERT_EQ(messages.size(), c.shown);
    for (size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].text, WideString(all[i].text)) << i;
      EXPECT_EQ(messages[i].flags, all[i].flags) << i;
      EXPECT_EQ(messages[i].caption, WideString(u"Setup")) << i;
      EXPECT_FALSE(messages[i].owned) << i;
      EXPECT_EQ(messages[i].processId, run.Process().Id()) << i;
    }
  }
}

TEST(ContainerInstall, SetupMembersNeverRun) {
  TestFolder folder;
  std::vector<PackSource> members = Probes({"Setup.exe", "First.exe", "SETUP.COM", "sub\\setup.exe", "Second.exe"});
  members.push_back({"setup.lic", Bytes("licence")});
  const WideString container = PackSetup(folder, u"container.exe", ContainerPayload(kContainerScript, members));
  ContainerProcess run(container, u"--silent");
  EXPECT_EQ(run.Process().Wait(), 0u);
  EXPECT_EQ(Described(run.Starts()),
            "First.exe| --silent --noautoreboot --selfrun\nSecond.exe| --silent --noautoreboot --selfrun\n");
}

TEST(ContainerInstall, ExitCodeFromTheInnerInstallers) {
  TestFolder folder;
  const WChar* const kNothingToRun = u"This package holds no installer that can run on this system.";
  struct Case {
    const char* what;
    std::vector<std::string> inner;
    const WChar* arguments;
    DWORD code;
    int restarts;
    size_t runs;
    int restartButton;        // the restart window is expected, and this button clicked in it
    const WChar* message;     // the one message expected, or none
  };
  const Case cases[] = {
      {"all done", {"A.exe", "B.exe"}, u"--silent", 0, 0, 2, 0, nullptr},
      {"a failure, and the next one still runs", {"A_code1603.exe", "B.exe"}, u"--silent", 1603, 0, 2, 0, nullptr},
      {"any other code is a failure", {"A_code5.exe", "B.exe"}, u"", 1603, 0, 2, 0, nullptr},
      {"cancelled", {"A_code1602.exe", "B_code3010.exe"}, u"--silent --noautoreboot", 1602, 0, 2, 0, nullptr},
      {"failure beats cancel", {"A_code1602.exe", "B_code1603.exe"}, u"", 1603, 0, 2, 0, nullptr},
      // No inner installer restarts; the container offers one restart at
      // the end: in its window, or at once when silent.
      {"restart offered at the end", {"A_code3010.exe", "B_code3010.exe"}, u"", 1641, 1, 2, IDC_REBOOT_NOW, nullptr},
      {"restart offered and declined", {"A_code3010.exe", "B.exe"}, u"", 3010, 0, 2, IDC_CANCEL_REBOOT,
       u"Cancel reboot?\r\n\r\nWindows will require restarting to finalize install."},
      {"silent restart", {"A_code3010.exe", "B.exe"}, u"--silent", 1641, 1, 2, 0, nullptr},
      {"silent, told not to restart", {"A_code3010.exe"}, u"--silent --noautoreboot", 3010, 0, 1, 0, nullptr},
      // Windows is going down: the next installer is not started.
      {"an inner installer restarted Windows", {"A_code1641.exe", "B.exe"}, u"", 1641, 0, 1, 0, nullptr},
      // Nothing to run on this system is no success.
      {"only 64-bit variants, 32 bits asked for", {"App__PLI_WIN64.exe"}, u"--silent --force32bit", 1603, 0, 0, 0,
       kNothingToRun},
      {"only setup members", {"Setup.exe"}, u"", 1603, 0, 0, 0, kNothingToRun},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder caseFolder;
    const WideString container = PackContainer(caseFolder, kContainerScript, c.inner);
    ContainerProcess run(container, c.arguments, {IDYES});
    if (c.restartButton != 0) {
      HWND window = nullptr;
      EXPECT_TRUE(driver::WaitFor(
          [&] {
            for (HWND top : driver::TopWindowsOf(run.Process().Id())) {
              if (GetDlgItem(top, IDC_REBOOT_NOW) != nullptr) window = top;
            }
            return window != nullptr;
          },
          30000));
      if (window != nullptr) driver::ClickByMessage(GetDlgItem(window, c.restartButton));
    }
    EXPECT_EQ(run.Process().Wait(), c.code);
    EXPECT_EQ(run.Process().RestartRequests(), c.restarts);
    EXPECT_EQ(run.Starts().size(), c.runs);
    const std::vector<TranscriptMessage> messages = run.Process().Messages();
    EXPECT_EQ(messages.size(), c.message != nullptr ? 1u : 0u);
    if (c.message != nullptr && !messages.empty()) {
      EXPECT_EQ(messages[0].text, WideString(c.message));
    }
  }
}

TEST(ContainerInstall, AnInstallerThatCannotStartFailsTheContainer) {
  TestFolder folder;
  std::vector<PackSource> members = {{"Broken.exe", Bytes("MZ but no program")}, InnerProbe("Next.exe")};
  const WideString container = PackSetup(folder, u"container.exe", ContainerPayload(kContainerScript, members));
  ContainerProcess run(container, u"--silent");
  EXPECT_EQ(run.Process().Wait(), 1603u);
  EXPECT_EQ(Described(run.Starts()), "Next.exe| --silent --noautoreboot --selfrun\n");
  // Silent: the runner's message is not shown.
  EXPECT_TRUE(run.Process().Messages().empty());
  EXPECT_EQ(run.Process().Leftovers(), std::vector<WideString>());
  EXPECT_EQ(ExtractedCopies(), std::vector<WideString>());
}

// The window's title carries the progress line, so the driver reads the
// counts from another process.
TEST(ContainerInstall, ProgressWindowCountsTheRuns) {
  TestFolder folder;
  const WideString container =
      PackContainer(folder, kContainerScript, {"One_wait1500.exe", "Two_wait1500.exe", "Three_wait1500.exe"});
  ContainerProcess run(container, u"--silent");
  std::vector<std::string> seen;
  HWND window = nullptr;
  driver::WaitFor(
      [&] {
        std::vector<HWND> windows = driver::TopWindowsOf(run.Process().Id());
        if (windows.size() == 1) {
          window = windows[0];
          // A window going away answers with no text.
          const std::string title = driver::TextOf(window).ToUtf8();
          if (!title.empty() && (seen.empty() || seen.back() != title)) seen.push_back(title);
        }
        return !run.Process().Running();
      },
      30000);
  EXPECT_EQ(run.Process().Wait(), 0u);
  EXPECT_EQ(seen, (std::vector<std::string>{"Running Install 1 of 3", "Running Install 2 of 3",
                                             "Running Install 3 of 3"}));
  EXPECT_EQ(run.Starts().size(), 3u);
}

TEST(ContainerInstall, CancelClosesTheWindowOnly) {
  TestFolder folder;
  const WideString container =
      PackContainer(folder, kContainerScript, {"One_wait1500.exe", "Two_wait1500.exe", "Three.exe"});
  ContainerProcess run(container, u"");
  HWND window = nullptr;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        std::vector<HWND> windows = driver::TopWindowsOf(run.Process().Id());
        window = windows.empty() ? nullptr : windows[0];
        return window != nullptr;
      },
      10000));
  EXPECT_EQ(driver::ControlText(window, IDCANCEL), WideString(u"Cancel"));
  driver::ClickByMessage(GetDlgItem(window, IDCANCEL));
  EXPECT_TRUE(driver::WaitFor([&] { return driver::TopWindowsOf(run.Process().Id()).empty(); }, 5000));
  EXPECT_EQ(run.Process().Wait(), 0u);
  EXPECT_EQ(run.Starts().size(), 3u);
}

TEST(ContainerInstall, OneSelectedInstallerShowsNoWindow) {
  const std::vector<std::string> payloads[] = {
      {"Only_wait1500.exe"},
      {"App_wait1500.exe", "App__PLI_WIN64_wait1500.exe"},
  };
  for (const std::vector<std::string>& inner : payloads) {
    SCOPED_TRACE(inner[0]);
    TestFolder folder;
    const WideString container = PackContainer(folder, kContainerScript, inner);
    ContainerProcess run(container, u"--silent");
    bool windowSeen = false;
    driver::WaitFor(
        [&] {
          windowSeen = windowSeen || !driver::TopWindowsOf(run.Process().Id()).empty();
          return !run.Process().Running();
        },
        30000);
    EXPECT_EQ(run.Process().Wait(), 0u);
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(run.Starts().size(), 1u);
  }
}
