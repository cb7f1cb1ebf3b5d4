// The real installer started as a user starts it, without options: the
// first process shows its focus window while the elevated copy runs the
// wizard, which the test drives as a user would.

#include <gtest/gtest.h>

#include "engine/win/uninstall_record.h"
#include "resources/resource_ids.h"
#include "setup_harness.h"
#include "util/path_text.h"
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

namespace {

// The record that the product's entry names (a product without 64-bit
// twins counts as 64-bit here, and has its record in the other folder).
WideString RecordPathOf(const WideString& product) {
  return UninstallRecordArgument(
      ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(product), u"UninstallString"));
}

// The record's text, or empty when there is none.
std::string RecordOf(const WideString& product) { return FileBytes(RecordPathOf(product)); }

void RemoveProduct(const WideString& name) {
  const WideString record = RecordPathOf(name);
  DeleteFileW(record.W());
  DeleteFileW((ParentFolder(record) + u"Uninstall-" + name + u".exe").W());
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(kUninstallKeyParent), name);
}

}  // namespace

TEST(InteractiveInstall, ACancelAtTheEndUndoesOrComesTooLate) {
  struct Case {
    const char* product;
    DWORD answerDelayMs;  // how long "Cancel Install?" stays open before Yes
    DWORD code;
  };
  const Case cases[] = {
      // Confirmed while the DLL registers, past the last file: the install
      // is cancelled, and what it placed is undone.
      {"Plove Late", 0, 1602},
      // Still open when the install has ended: nothing is left to cancel;
      // the Finished page follows with the record.
      {"Plove Too Late", 9000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.product);
    TestFolder folder;
    const WideString name = WideString::FromUtf8(c.product);
    const std::string script = "[Project Name]\r\n" + std::string(c.product) + "\r\n[Install To]\r\nC:\\" +
                               c.product + "\\\r\n[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"
                               "[CopyFile]\r\nslow.dll\r\n<Destination>slow.dll\r\n";
    const WideString setup = PackSetup(folder, u"setup.exe",
                                       {{"setup.dat", Bytes(script)},
                                        {"app.txt", Bytes("app")},
                                        {"slow.dll", ReadHostFile(PLOVE_SLOW_REGISTER_PATH)}});
    SetupStart start;
    start.answers = {IDYES};
    start.answerDelays = {c.answerDelayMs};
    SetupProcess run(setup, u"", start);
    HWND wizard = nullptr;
    ASSERT_TRUE(
        driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; }, 30000));
    SendMessageW(GetDlgItem(wizard, IDC_INSTALL), BM_CLICK, 0, 0);
    ASSERT_TRUE(driver::WaitFor([&] { return FileExists(u"C:\\" + name + u"\\slow.dll.registering"); }, 30000));
    PostMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
    if (c.code == 0) {
      EXPECT_TRUE(driver::WaitFor(
          [&] { return driver::ControlText(wizard, IDC_CANCEL_INSTALL) == WideString(u"Finish"); }, 30000));
      PostMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(run.Wait(), c.code);
    const std::vector<TranscriptMessage> messages = run.Messages();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.empty() ? WideString() : messages[0].text, WideString(u"Cancel Install?"));
    // Nothing placed is left unremovable: undone, or installed with its record.
    EXPECT_EQ(FileExists(u"C:\\" + name + u"\\app.txt"), c.code == 0);
    EXPECT_EQ(FileExists(u"C:\\" + name + u"\\slow.dll"), c.code == 0);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(name), u"UninstallString").IsEmpty(),
              c.code != 0);
    if (c.code == 0) {
      const std::string record = RecordOf(name);
      EXPECT_NE(record.find("<Destination>app.txt"), std::string::npos) << record;
      EXPECT_NE(record.find("<Destination>slow.dll"), std::string::npos) << record;
      RemoveProduct(name);
    }
  }
}

TEST(InteractiveInstall, ACancelHalfWayUndoesWhatWasDone) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  // A file of another program where the install would have put its second
  // file, which it never reaches.
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Plove Half", nullptr));
  ASSERT_TRUE(WriteWholeFile(u"C:\\Plove Half\\other.txt", "not this product's"));
  // The run writes the whole record before it starts (a program started by
  // the install finds the product registered); the cancel comes during it.
  const std::string script = "[Project Name]\r\nPlove Half\r\n[Install To]\r\nC:\\Plove Half\\\r\n"
                             "[CopyFile]\r\nfirst.txt\r\n<Destination>first.txt\r\n"
                             "[Registry]\r\nHKLM\r\nSoftware\\Plove Half\r\nSTRING\r\nFirst\r\n1\r\n"
                             "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probe.ToUtf8() +
                             "\" 0 4000\r\n\r\n"
                             "[CopyFile]\r\nother.txt\r\n<Destination>other.txt\r\n"
                             "[Registry]\r\nHKLM\r\nSoftware\\Plove Half\r\nSTRING\r\nSecond\r\n2\r\n";
  const WideString setup = PackSetup(folder, u"setup.exe",
                                     {{"setup.dat", Bytes(script)},
                                      {"first.txt", Bytes("first")},
                                      {"other.txt", Bytes("this product's")},
                                      {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}});
  SetupProcess run(setup, u"", {IDYES});
  HWND wizard = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; }, 30000));
  SendMessageW(GetDlgItem(wizard, IDC_INSTALL), BM_CLICK, 0, 0);
  ASSERT_TRUE(driver::WaitFor([&] { return FileExists(probe); }, 30000));
  SendMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
  EXPECT_EQ(run.Wait(), 1602u);
  // The record, entry, file and value the run had made are gone; the other
  // program's file is untouched.
  EXPECT_FALSE(FileExists(u"C:\\Plove Half\\first.txt"));
  EXPECT_EQ(FileBytes(u"C:\\Plove Half\\other.txt"), "not this product's");
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Half"), u"UninstallString").IsEmpty());
  EXPECT_FALSE(FileExists(UninstallRecordPathFor(u"Plove Half")));
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, WideString(u"Software\\Plove Half"), u"First").IsEmpty());
  DeleteFileW(L"C:\\Plove Half\\other.txt");
  RemoveDirectoryW(L"C:\\Plove Half");
}

TEST(InteractiveInstall, NoAutoRebootLeavesTheRestartToTheCaller) {
  // A container starts its inner installers so, and offers one restart
  // itself once all have run.
  TestFolder folder;
  const std::string script =
      "[Project Name]\r\nPlove Pending\r\n[Install To]\r\nC:\\Plove Pending\\\r\n[NoOfferUninstallOld]\r\n"
      "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n";
  const WideString setup =
      PackSetup(folder, u"setup.exe", {{"setup.dat", Bytes(script)}, {"app.txt", Bytes("new app")}});
  {
    SetupProcess first(setup, u"--silent");
    ASSERT_EQ(first.Wait(), 0u);
  }
  ScopedFileHandle held(CreateFileW(L"C:\\Plove Pending\\app.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  SetupProcess run(setup, u"--noautoreboot");
  HWND wizard = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; }, 30000));
  SendMessageW(GetDlgItem(wizard, IDC_INSTALL), BM_CLICK, 0, 0);
  ASSERT_TRUE(driver::WaitFor(
      [&] { return driver::ControlText(wizard, IDC_CANCEL_INSTALL) == WideString(u"Finish"); }, 30000));
  // The Finished page offers no restart: "Finish" ends the install.
  PostMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
  EXPECT_EQ(run.Wait(20000), 3010u);
  EXPECT_EQ(run.RestartRequests(), 0);
  held.Reset();
  RemoveProduct(u"Plove Pending");
}
