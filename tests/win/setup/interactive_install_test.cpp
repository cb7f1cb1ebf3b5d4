// The real installer started as a user starts it, without options: the
// first process shows its focus window while the elevated copy runs the
// wizard, which the test drives as a user would.

#include <gtest/gtest.h>

#include "engine/win/uninstall_record.h"
#include "resources/resource_ids.h"
#include "setup_harness.h"
#include "util/win/registry.h"
#include "window_driver.h"

namespace {

// A product whose install runs the probe first, which sleeps for sleepMs.
std::vector<PackSource> SlowProduct(const std::string& name, const WideString& probeOutput, int sleepMs) {
  const std::string script = "[Project Name]\r\n" + name + "\r\n[Install To]\r\nC:\\" + name +
                             "\\\r\n[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probeOutput.ToUtf8() +
                             "\" 0 " + std::to_string(sleepMs) +
                             "\r\n\r\n[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n";
  return {{"setup.dat", Bytes(script)}, {"app.txt", Bytes("app")}, {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}};
}

// The first process's visible top-level window without controls: the focus
// window.
HWND FocusWindowOf(DWORD processId) {
  for (HWND window : driver::TopWindowsOf(processId)) {
    if (GetWindow(window, GW_CHILD) == nullptr) return window;
  }
  return nullptr;
}

}  // namespace

TEST(InteractiveInstall, CancelDuringTheInstall) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  const WideString setup = PackSetup(folder, u"setup.exe", SlowProduct("Plove Stop", probe, 4000));
  SetupProcess run(setup, u"", {IDYES});
  HWND wizard = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; }, 30000));
  EXPECT_EQ(driver::TextOf(wizard), WideString(u"Plove Stop Installer"));
  SendMessageW(GetDlgItem(wizard, IDC_INSTALL), BM_CLICK, 0, 0);
  // While the first program of the script runs, the user cancels.
  ASSERT_TRUE(driver::WaitFor([&] { return FileExists(probe); }, 30000));
  SendMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
  EXPECT_EQ(run.Wait(), 1602u);
  std::vector<TranscriptMessage> messages = run.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, WideString(u"Cancel Install?"));
  EXPECT_EQ(messages[0].caption, WideString(u"Plove Stop Installer"));
  EXPECT_EQ(messages[0].flags, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
  EXPECT_TRUE(messages[0].owned);
  EXPECT_FALSE(FileExists(u"C:\\Plove Stop\\app.txt"));
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Stop"), u"UninstallString").IsEmpty());
  EXPECT_EQ(run.Leftovers(), std::vector<WideString>());
}

TEST(InteractiveInstall, FocusWindowHidesAfterFiveSeconds) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  const WideString setup = PackSetup(folder, u"setup.exe", SlowProduct("Plove Focus", probe, 9000));
  SetupProcess run(setup, u"--silent");
  HWND focus = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (focus = FocusWindowOf(run.Id())) != nullptr; }, 5000));
  const DWORD shown = GetTickCount();
  EXPECT_EQ(driver::TextOf(focus), WideString());
  // Still there before five seconds have passed, gone after the next slice.
  driver::Pump(3000);
  EXPECT_TRUE(IsWindowVisible(focus));
  EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(focus); }, 5000));
  const DWORD hidden = GetTickCount() - shown;
  EXPECT_GE(hidden, 4000u);
  EXPECT_LE(hidden, 8000u);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(FileExists(u"C:\\Plove Focus\\app.txt"));
}
