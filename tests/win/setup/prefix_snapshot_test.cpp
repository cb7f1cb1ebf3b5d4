// The prefix snapshot that the rollback and uninstall tests compare: it sees
// each kind of change, nothing when nothing changed, and a silent install
// followed by its silent uninstall leaves the prefix as it was.

#include "prefix_snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <memory>

#include "engine/win/folder_macros.h"
#include "engine/win/uninstall_record.h"
#include "pending_restart.h"
#include "setup_harness.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"

namespace {

PrefixSnapshot TimedSnapshot(const char* label) {
  const auto start = std::chrono::steady_clock::now();
  PrefixSnapshot snapshot = TakePrefixSnapshot();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  std::cout << "snapshot " << label << ": " << snapshot.files.size() << " files and folders, " << snapshot.keys.size()
            << " keys, " << ms << " ms\n";
  return snapshot;
}

bool RunAndWait(const wchar_t* commandLine) {
  std::wstring command(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &created))
    return false;
  ScopedKernelHandle thread(created.hThread);
  ScopedKernelHandle process(created.hProcess);
  return WaitForSingleObject(process.Get(), 60000) == WAIT_OBJECT_0;
}

}  // namespace

TEST(PrefixSnapshot, QuietMomentsShowNoDifference) {
  const PrefixSnapshot first = TimedSnapshot("first");
  EXPECT_TRUE(DifferencesFrom(first, first).empty());
  const PrefixSnapshot second = TimedSnapshot("second");
  EXPECT_EQ(DifferencesText(DifferencesFrom(first, second)), "");
  // A program of Wine's own, started and ended.
  ASSERT_TRUE(RunAndWait(L"cmd.exe /c exit 0"));
  const PrefixSnapshot third = TimedSnapshot("after a program");
  EXPECT_EQ(DifferencesText(DifferencesFrom(second, third)), "");
  ASSERT_TRUE(RestartWinePrefix());
  const PrefixSnapshot fourth = TimedSnapshot("after a restart");
  EXPECT_EQ(DifferencesText(DifferencesFrom(third, fourth)), "");
}

namespace {

const WChar kFolder[] = u"C:\\Plove Snapshot Test\\";
const WChar kKey[] = u"Software\\Plove Snapshot Test";

bool WriteText(const WChar* name, const char* text) { return WriteWholeFile(WideString(kFolder) + name, text); }

bool WriteNumber(HKEY root, const WideString& key, const WChar* name, DWORD number) {
  return WriteRegistryValue(root, key, WideString(name), REG_DWORD, &number, sizeof number);
}

// The registry helpers of the installer use the 32-bit view; the snapshot's
// own keys here are written in the 64-bit one.
bool Write64(const WChar* key, const WChar* name, const WChar* text) {
  ScopedRegistryKey handle;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, WideString(key).W(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                      nullptr, handle.Receive(), nullptr) != ERROR_SUCCESS)
    return false;
  const WideString data(text);
  return RegSetValueExW(handle.Get(), WideString(name).W(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.W()),
                        static_cast<DWORD>(data.Size() * 2)) == ERROR_SUCCESS;
}

bool Delete64(const WChar* parent, const WChar* subkey) {
  ScopedRegistryKey handle;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideString(parent).W(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                    handle.Receive()) != ERROR_SUCCESS)
    return false;
  return RegDeleteTreeW(handle.Get(), WideString(subkey).W()) == ERROR_SUCCESS;
}

void RemoveTestState() {
  DeleteFolderTree(WideString(kFolder), WideString(u"*.*"), true);
  Delete64(u"Software", u"Plove Snapshot Test");
  Delete64(u"Software\\Wow6432Node", u"Plove Snapshot Test");
  ScopedRegistryKey user;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, user.Receive()) == ERROR_SUCCESS)
    RegDeleteTreeW(user.Get(), L"Plove Snapshot Test");
}

}  // namespace

TEST(PrefixSnapshot, ReportsEachKindOfChange) {
  RemoveTestState();
  ASSERT_TRUE(CreateDirectoryW(WideString(kFolder).W(), nullptr));
  ASSERT_TRUE(WriteText(u"same size.txt", "version 1") && WriteText(u"grown.txt", "short") &&
              WriteText(u"gone.txt", "gone"));
  ASSERT_TRUE(Write64(kKey, u"Changed", u"1") && Write64(u"Software\\Plove Snapshot Test\\Gone", u"Old", u"x") &&
              WriteNumber(HKEY_CURRENT_USER, WideString(kKey), u"Count", 1));

  struct Change {
    std::function<bool()> make;
    std::vector<std::string> lines;
  };
  const std::vector<Change> changes = {
      {[] { return WriteText(u"added.txt", "new"); }, {"added file C:\\Plove Snapshot Test\\added.txt"}},
      {[] { return WriteText(u"same size.txt", "version 2"); },
       {"changed file C:\\Plove Snapshot Test\\same size.txt (content)"}},
      {[] { return WriteText(u"grown.txt", "longer"); }, {"changed file C:\\Plove Snapshot Test\\grown.txt (size 5 -> 6)"}},
      {[] { return DeleteFileW(L"C:\\Plove Snapshot Test\\gone.txt") != 0; },
       {"removed file C:\\Plove Snapshot Test\\gone.txt"}},
      {[] { return CreateDirectoryW(L"C:\\Plove Snapshot Test\\empty", nullptr) != 0; },
       {"added folder C:\\Plove Snapshot Test\\empty"}},
      {[] { return Write64(kKey, u"Added", u"a\\b"); },
       {"added value HKLM\\Software\\Plove Snapshot Test\\Added (REG_SZ \"a\\b\")"}},
      {[] { return Write64(kKey, u"Changed", u"2"); },
       {"changed value HKLM\\Software\\Plove Snapshot Test\\Changed (REG_SZ \"1\" -> REG_SZ \"2\")"}},
      {[] { return Delete64(kKey, u"Gone"); },
       {"removed key HKLM\\Software\\Plove Snapshot Test\\Gone",
        "removed value HKLM\\Software\\Plove Snapshot Test\\Gone\\Old (REG_SZ \"x\")"}},
      // The 32-bit view, as the installer writes it.
      {[] { return WriteRegistryString(HKEY_LOCAL_MACHINE, WideString(kKey), WideString(), u"32"); },
       {"added key HKLM\\Software\\Wow6432Node\\Plove Snapshot Test",
        "added value HKLM\\Software\\Wow6432Node\\Plove Snapshot Test\\(default) (REG_SZ \"32\")"}},
      {[] { return WriteNumber(HKEY_CURRENT_USER, WideString(kKey), u"Count", 2); },
       {"changed value HKCU\\Software\\Plove Snapshot Test\\Count (REG_DWORD 1 -> REG_DWORD 2)"}},
  };

  const PrefixSnapshot before = TakePrefixSnapshot();
  EXPECT_TRUE(DifferencesFrom(before, before).empty());
  std::vector<std::string> expected;
  for (const Change& change : changes) {
    EXPECT_TRUE(change.make()) << change.lines[0];
    expected.insert(expected.end(), change.lines.begin(), change.lines.end());
  }
  std::vector<std::string> found = DifferencesFrom(before, TakePrefixSnapshot());
  std::sort(expected.begin(), expected.end());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(DifferencesText(found), DifferencesText(expected));
  RemoveTestState();
}

namespace {

// A product with something of each kind an uninstall takes away: files in
// a folder and a subfolder, a counted system file, a shortcut in a folder of
// its own, the saved install folder and values in HKLM and HKCU.
std::vector<PackSource> SnapshotProduct() {
  const std::string script =
      "[Project Name]\r\nPlove Snapshot\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\n<Program Files>Plove Snapshot\\\r\n"
      "[UninstallSettings]\r\nPlove Install Tests\r\n[SaveInstallPath]\r\nInstallFolder\r\n"
      "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n[CopyFile]\r\nreadme.txt\r\n<Destination>docs\\readme.txt\r\n"
      "[CopyFile]\r\nshared.dll\r\n<System>plove-snapshot.dll\r\n"
      "[CreateIcon]\r\n<Destination>app.txt\r\n<Start Programs>Plove Snapshot\\Plove Snapshot.lnk\r\n\r\n\r\n"
      "[Registry]\r\nHKLM\r\nSoftware\\Plove Snapshot\r\nSTRING\r\nVersion\r\n1.0\r\n"
      "[Registry]\r\nHKCU\r\nSoftware\\Plove Snapshot\r\nDWORD\r\nRuns\r\n1\r\n";
  return {{"setup.dat", Bytes(script)},
          {"app.txt", Bytes("application\r\n")},
          {"readme.txt", Bytes("read me\r\n")},
          {"shared.dll", ReadHostFile(PLOVE_PROBE_PATH)}};
}

}  // namespace

TEST(PrefixSnapshot, SilentInstallThenUninstallLeavesThePrefixAsBefore) {
  TestFolder folder;
  const WideString setup = PackSetup(folder, u"snapshot-setup.exe", SnapshotProduct());
  const PrefixSnapshot before = TimedSnapshot("before the install");
  {
    SetupProcess install(setup, u"--silent");
    ASSERT_EQ(install.Wait(), 0u);
  }
  const PrefixSnapshot installed = TimedSnapshot("installed");
  const WideString quiet =
      ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Snapshot"), u"QuietUninstallString");
  ASSERT_FALSE(quiet.IsEmpty()) << DifferencesText(DifferencesFrom(before, installed));
  {
    const int close = quiet.FindChar(u'"', 2);
    WideString arguments = quiet.From(close + 1);
    arguments.TrimLeadingSpaces();
    SetupProcess uninstall(quiet.Mid(2, close - 1), arguments);
    ASSERT_EQ(uninstall.Wait(), 0u);
  }
  const PrefixSnapshot removed = TimedSnapshot("removed");
  std::cout << DifferencesText(DifferencesFrom(before, removed));
  // The running uninstaller is deleted at the next restart.
  ASSERT_TRUE(RestartWinePrefix());
  EXPECT_EQ(DifferencesText(DifferencesFrom(before, TimedSnapshot("after the restart"))), "");
}
