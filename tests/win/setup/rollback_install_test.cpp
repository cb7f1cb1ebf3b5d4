// A cancelled, failed or interrupted install leaves the machine as it was:
// the real installer, and the prefix compared before and after
// (prefix_snapshot.h: every file under C:\ with its sum, HKLM and HKCU).

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "util/win/windows_api.h"
// windows_api.h first
#include <tlhelp32.h>

#include "engine/win/uninstall_record.h"
#include "packer/pack_installer.h"
#include "payload/archive_format.h"
#include "pending_restart.h"
#include "prefix_snapshot.h"
#include "rollback/win/journal_undo.h"
#include "rollback/win/run_journal.h"
#include "resources/resource_ids.h"
#include "setup_harness.h"
#include "util/path_text.h"
#include "util/win/registry.h"
#include "window_driver.h"
#ifdef PLOVE_SMALL_DRIVE_PATH
#include "small_drive.h"
#endif

namespace {

// A product of count files "f1.txt"... in folder, each holding its name and
// the version, a value of its own and a saved install folder; extra script
// lines follow file afterFile (0: after the last).
std::vector<PackSource> Product(const std::string& name, const std::string& version, const std::string& folder,
                                int count, const std::string& extra = std::string(), int afterFile = 0,
                                const std::vector<PackSource>& extraMembers = {}) {
  std::string script = "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n" + version +
                       "\r\n[Install To]\r\n" + folder + "\r\n[SaveInstallPath]\r\n" + name + "\r\n"
                       "[Registry]\r\nHKLM\r\nSoftware\\Plove Rollback\\" + name + "\r\nSTRING\r\nVersion\r\n" +
                       version + "\r\n";
  std::vector<PackSource> members;
  for (int i = 1; i <= count; ++i) {
    const std::string file = "f" + std::to_string(i) + ".txt";
    script += "[CopyFile]\r\n" + file + "\r\n<Destination>" + file + "\r\n";
    if (i == afterFile) script += extra;
    members.push_back({file, Bytes(file + " of " + name + " " + version + "\r\n")});
  }
  if (afterFile == 0) script += extra;
  members.insert(members.begin(), {"setup.dat", Bytes(script)});
  members.insert(members.end(), extraMembers.begin(), extraMembers.end());
  return members;
}

// The installer of members with the stated sum of member index (1: the
// first after setup.dat) made wrong: only that member's own check finds it.
WideString PackWithDamagedMember(const TestFolder& folder, const WideString& fileName,
                                 const std::vector<PackSource>& members, size_t index) {
  PackSettings settings;
  std::vector<PackedMember> packed;
  std::string error;
  std::vector<uint8_t> archive;
  std::vector<ArchiveEntryInfo> directory;
  if (!CompressMembers(members, settings, &packed, &error) || WriteArchive(packed, archive) != ArchiveWriteStatus::Ok ||
      ReadArchiveDirectory(archive.data(), archive.size(), directory) != ArchiveReadStatus::Ok) {
    ADD_FAILURE() << error;
    return WideString();
  }
  const size_t end = archive.size();
  size_t entry = archive[end - 16] | archive[end - 15] << 8 | archive[end - 14] << 16 |
                 static_cast<size_t>(archive[end - 13]) << 24;
  for (size_t i = 0; i < index; ++i) entry += kArchiveEntryHeaderSize + directory[i].name.size() + 1;
  archive[entry + 12] ^= 0x01;  // the packed sum
  const uint32_t sum = ArchiveChecksum(archive.data(), end - kArchiveTrailerSize);
  for (int i = 0; i < 4; ++i) archive[end - kArchiveTrailerSize + i] = static_cast<uint8_t>(sum >> (8 * i));
  std::vector<uint8_t> stub = ReadHostFile(PLOVE_STUB_PATH), installer;
  EXPECT_TRUE(EmbedArchive(stub.data(), stub.size(), archive, &installer, &error)) << error;
  const WideString path = folder / fileName;
  EXPECT_TRUE(WriteWholeFile(path, installer.data(), installer.size()));
  return path;
}

WideString EntryValue(const WideString& name, const WChar* value) {
  return ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(name), WideString(value));
}

// What Wine itself adds the first time a console program (the probe) runs
// is not the installer's.
bool WineOwn(const std::string& difference) {
  return difference.find("HKCU\\Console") != std::string::npos ||
         difference.find("HKCU\\Software\\Wine\\") != std::string::npos;
}

void ExpectSameMachine(const PrefixSnapshot& before) {
  std::vector<std::string> differences;
  for (const std::string& difference : DifferencesFrom(before, TakePrefixSnapshot())) {
    if (!WineOwn(difference)) differences.push_back(difference);
  }
  EXPECT_TRUE(differences.empty()) << DifferencesText(differences);
}

// Removes an installed product the way its entry says, and checks it went.
void ExpectOldUninstallerWorks(const WideString& name, const WideString& folder) {
  const WideString quiet = EntryValue(name, u"QuietUninstallString");
  ASSERT_FALSE(quiet.IsEmpty());
  EXPECT_EQ(RunEntryCommand(quiet), 0u);
  EXPECT_FALSE(FileExists(folder + u"f1.txt"));
  EXPECT_TRUE(EntryValue(name, u"UninstallString").IsEmpty());
}

HWND StartWizardInstall(SetupProcess& run) {
  HWND wizard = nullptr;
  if (!driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; }, 30000))
    return nullptr;
  SendMessageW(GetDlgItem(wizard, IDC_INSTALL), BM_CLICK, 0, 0);
  (void)run;
  return wizard;
}

}  // namespace

// Silent runs that fail half-way: a damaged member (the 5th of 10), alone
// and over an installed older version whose files it had begun to replace.
TEST(RollbackInstall, FailedSilentRunsLeaveTheMachineAsItWas) {
  struct Case {
    const char* what;
    bool olderInstalled;
  };
  const Case cases[] = {{"fresh install", false}, {"over version 1.0", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString name(u"Plove Failing");
    if (c.olderInstalled) {
      SetupProcess old(PackSetup(folder, u"v1.exe", Product("Plove Failing", "1.0", "C:\\Plove Failing\\", 10)),
                       u"--silent");
      ASSERT_EQ(old.Wait(), 0u);
    }
    const PrefixSnapshot before = TakePrefixSnapshot();
    const WideString setup = PackWithDamagedMember(
        folder, u"v2.exe", Product("Plove Failing", "2.0", "C:\\Plove Failing\\", 10), 5);
    SetupProcess run(setup, u"--silent");
    EXPECT_EQ(run.Wait(), 1603u);
    ExpectSameMachine(before);
    if (c.olderInstalled) {
      EXPECT_EQ(FileBytes(u"C:\\Plove Failing\\f4.txt"), "f4.txt of Plove Failing 1.0\r\n");
      ExpectOldUninstallerWorks(name, u"C:\\Plove Failing\\");
    }
  }
}

// The user cancels while the install is at different points.
TEST(RollbackInstall, CancelThroughTheWizard) {
  struct Case {
    const char* what;
    const char* product;
    bool registering;  // the cancel comes while the DLL registers, else during the probe
    int afterFile;
    const char* before;  // script lines before the probe
  };
  const Case cases[] = {
      {"after the first file", "Plove Cancel One", false, 1, ""},
      {"after registry lines", "Plove Cancel Two", false, 2,
       "[Registry]\r\nHKLM\r\nSoftware\\Plove Rollback\\Line\r\nDWORD\r\nNumber\r\n12\r\n"
       "[Registry]\r\nHKCU\r\nSoftware\\Plove Rollback\\Line\r\nSTRING\r\nUser\r\nu\r\n"},
      {"during DLL registration", "Plove Cancel Three", true, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestFolder folder;
    const WideString probe = folder / u"probe.txt";
    const std::string install = std::string("C:\\") + c.product + "\\";
    std::string extra = c.before;
    std::vector<PackSource> more = {{"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}};
    if (c.registering) {
      extra += "[CopyFile]\r\nslow.dll\r\n<Destination>slow.dll\r\n";
      more.push_back({"slow.dll", ReadHostFile(PLOVE_SLOW_REGISTER_PATH)});
    } else {
      extra += "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probe.ToUtf8() + "\" 0 4000\r\n\r\n";
    }
    const WideString setup =
        PackSetup(folder, u"setup.exe", Product(c.product, "1.0", install, 3, extra, c.afterFile, more));
    const PrefixSnapshot before = TakePrefixSnapshot();
    SetupProcess run(setup, u"", {IDYES});
    HWND wizard = StartWizardInstall(run);
    ASSERT_NE(wizard, nullptr);
    const WideString marker = WideString::FromUtf8(install.c_str()) + u"slow.dll.registering";
    ASSERT_TRUE(driver::WaitFor([&] { return FileExists(c.registering ? marker : probe); }, 30000));
    PostMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
    EXPECT_EQ(run.Wait(), 1602u);
    if (c.registering) {
      // The DLL's own doing, which no uninstall would know of either.
      DeleteFileW(marker.W());
      RemoveDirectoryW(WideString::FromUtf8(install.c_str()).W());
    }
    ExpectSameMachine(before);
  }
}

// A newer registered DLL that the version rule keeps in place is
// registered again by the run; a cancel during a later registration leaves
// it registered (it was not the run's to take away).
TEST(RollbackInstall, CancelLeavesAKeptNewerDllRegistered) {
  TestFolder folder;
  const WideString install(u"C:\\Plove Kept Newer\\");
  ASSERT_TRUE(CreateDirectoryW(install.W(), nullptr));
  const std::vector<uint8_t> newer = ReadHostFile(PLOVE_REGISTRY_MARK_V2_PATH);
  ASSERT_TRUE(WriteWholeFile(install + u"mark.dll", newer.data(), newer.size()));
  // Registered by whatever put it there (the fixture's own mark).
  const DWORD one = 1;
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Plove Rollback\\Registered", (install + u"mark.dll").W(),
                            REG_DWORD, &one, sizeof one),
            ERROR_SUCCESS);
  const std::string extra =
      "[CopyFile]\r\nmark.dll\r\n<Destination>mark.dll\r\n[CopyFile]\r\nslow.dll\r\n<Destination>slow.dll\r\n";
  const WideString setup = PackSetup(folder, u"setup.exe",
                                     Product("Plove Kept Newer", "1.0", install.ToUtf8(), 2, extra, 0,
                                             {{"mark.dll", ReadHostFile(PLOVE_REGISTRY_MARK_V1_PATH)},
                                              {"slow.dll", ReadHostFile(PLOVE_SLOW_REGISTER_PATH)}}));
  const PrefixSnapshot before = TakePrefixSnapshot();
  SetupProcess run(setup, u"", {IDYES});
  HWND wizard = StartWizardInstall(run);
  ASSERT_NE(wizard, nullptr);
  const WideString marker = install + u"slow.dll.registering";
  ASSERT_TRUE(driver::WaitFor([&] { return FileExists(marker); }, 30000));
  PostMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
  EXPECT_EQ(run.Wait(), 1602u);
  DeleteFileW(marker.W());
  EXPECT_EQ(FileBytes(install + u"mark.dll"), std::string(newer.begin(), newer.end()));
  ExpectSameMachine(before);
  DeleteFileW((install + u"mark.dll").W());
  RemoveDirectoryW(install.W());
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Plove Rollback\\Registered", (install + u"mark.dll").W());
}

// An upgrade: the removal offer is answered Yes, the old version's
// uninstaller removes it (and unregisters its DLL, and counts its shared
// system file down), then the user cancels the new install: the old
// version is back, its DLL registered again, the shared count as it was,
// and its uninstaller removes it.
TEST(RollbackInstall, CancelledUpgradeBringsTheOldVersionBack) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  const std::string run = "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probe.ToUtf8() + "\" 0 4000\r\n\r\n";
  // Another product counts the shared file already.
  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const WideString shared = WideString(reinterpret_cast<const WChar*>(system)) + u"\\plvshared.txt";
  const WideString sharedKey(u"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
  const DWORD one = 1;
  ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, sharedKey, shared, REG_DWORD, &one, sizeof one));
  {
    SetupProcess old(PackSetup(folder, u"v1.exe",
                               Product("Plove Upgrade", "1.0", "C:\\Plove Upgrade\\", 3,
                                       "[CopyFile]\r\nmark.dll\r\n<Destination>mark.dll\r\n"
                                       "[CopyFile]\r\nshared.txt\r\n<System>plvshared.txt\r\n",
                                       0,
                                       {{"mark.dll", ReadHostFile(PLOVE_REGISTRY_MARK_PATH)},
                                        {"shared.txt", Bytes("shared")}})),
                     u"--silent");
    ASSERT_EQ(old.Wait(), 0u);
  }
  const PrefixSnapshot before = TakePrefixSnapshot();
  const WideString setup = PackSetup(
      folder, u"v2.exe",
      Product("Plove Upgrade", "2.0", "C:\\Plove Upgrade\\", 4, run, 1, {{"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}}));
  SetupProcess upgrade(setup, u"", {IDYES, IDYES});
  HWND wizard = StartWizardInstall(upgrade);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(driver::WaitFor([&] { return FileExists(probe); }, 60000));
  PostMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
  EXPECT_EQ(upgrade.Wait(), 1602u);
  ExpectSameMachine(before);
  ExpectOldUninstallerWorks(u"Plove Upgrade", u"C:\\Plove Upgrade\\");
}

// A successful upgrade: the old version's folders that only its files held
// go (its uninstaller could not remove them while the run kept those
// files); one that holds someone else's file stays.
TEST(RollbackInstall, UpgradeLeavesNoEmptiedFolderOfTheOldVersion) {
  TestFolder folder;
  const WideString install(u"C:\\Plove Emptied\\");
  {
    SetupProcess old(PackSetup(folder, u"v1.exe",
                               Product("Plove Emptied", "1.0", install.ToUtf8(), 2,
                                       "[CopyFile]\r\nold.txt\r\n<Destination>Old\\Deeper\\old.txt\r\n"
                                       "[CopyFile]\r\nkept.txt\r\n<Destination>Kept\\kept.txt\r\n",
                                       0, {{"old.txt", Bytes("old")}, {"kept.txt", Bytes("kept")}})),
                     u"--silent");
    ASSERT_EQ(old.Wait(), 0u);
  }
  ASSERT_TRUE(WriteWholeFile(install + u"Kept\\mine.txt", "someone else's"));
  SetupProcess upgrade(PackSetup(folder, u"v2.exe", Product("Plove Emptied", "2.0", install.ToUtf8(), 2)), u"",
                       {IDYES});
  HWND wizard = StartWizardInstall(upgrade);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(driver::WaitFor(
      [&] { return driver::ControlText(wizard, IDC_CANCEL_INSTALL) == WideString(u"Finish"); }, 60000));
  SendMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
  EXPECT_EQ(upgrade.Wait(), 0u);
  EXPECT_EQ(FileBytes(install + u"f1.txt"), "f1.txt of Plove Emptied 2.0\r\n");
  EXPECT_FALSE(FileExists(install + u"Old"));
  EXPECT_FALSE(FileExists(install + u"Kept\\kept.txt"));
  EXPECT_EQ(FileBytes(install + u"Kept\\mine.txt"), "someone else's");
  EXPECT_TRUE(NamesIn(install, u"~PLI*", false).empty());
  ExpectOldUninstallerWorks(u"Plove Emptied", install);
  DeleteFileW((install + u"Kept\\mine.txt").W());
  RemoveDirectoryW((install + u"Kept").W());
  RemoveDirectoryW(install.W());
}

// A prerequisite (another product's installer, run by the script) puts a
// newer DLL where the product installs its own, which the version rule
// then keeps; a later member fails: the prerequisite's DLL stays.
TEST(RollbackInstall, FailedRunLeavesWhatItsPrerequisitePlaced) {
  TestFolder folder;
  const WideString install(u"C:\\Plove Needs Runtime\\");
  const std::vector<uint8_t> newer = ReadHostFile(PLOVE_REGISTRY_MARK_V2_PATH);
  const std::string runtimeScript = "[Project Name]\r\nPlove Runtime\r\n[ProgramVersion]\r\n2.0\r\n"
                                    "[Install To]\r\n" + install.ToUtf8() + "\r\n[NoUnInstall]\r\n"
                                    "[CopyFile]\r\nmark.dll\r\n<Destination>mark.dll\r\n";
  std::string runtime;
  ASSERT_TRUE(ReadWholeFile(
      PackSetup(folder, u"runtime.exe", {{"setup.dat", Bytes(runtimeScript)}, {"mark.dll", newer}}), runtime));
  const std::string extra = "[RunAndWaitFile]\r\n<TempInstall>runtime.exe\r\n--silent\r\n\r\n"
                            "[CopyFile]\r\nmark.dll\r\n<Destination>mark.dll\r\n";
  // Where the DLL's registration writes its mark, made beforehand.
  const WideString registered(u"Software\\Plove Rollback\\Registered");
  ScopedRegistryKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, registered.W(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            nullptr, key.Receive(), nullptr),
            ERROR_SUCCESS);
  const PrefixSnapshot before = TakePrefixSnapshot();
  const WideString setup = PackWithDamagedMember(
      folder, u"setup.exe",
      Product("Plove Needs Runtime", "1.0", install.ToUtf8(), 3, extra, 1,
              {{"runtime.exe", Bytes(runtime)}, {"mark.dll", ReadHostFile(PLOVE_REGISTRY_MARK_V1_PATH)}}),
      2);
  SetupProcess run(setup, u"--silent");
  EXPECT_EQ(run.Wait(), 1603u);
  EXPECT_EQ(FileBytes(install + u"mark.dll"), std::string(newer.begin(), newer.end()));
  EXPECT_FALSE(FileExists(install + u"f1.txt"));
  // Registered by the prerequisite, which the rollback leaves alone.
  EXPECT_EQ(RegQueryValueExW(key.Get(), (install + u"mark.dll").W(), nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  RegDeleteValueW(key.Get(), (install + u"mark.dll").W());
  DeleteFileW((install + u"mark.dll").W());
  RemoveDirectoryW(install.W());
  ExpectSameMachine(before);
}

// A file in use is staged for the restart, then a later member is damaged:
// the staged replacement is taken back, and a restart changes nothing.
TEST(RollbackInstall, FailureAfterAReplacementAtRestart) {
  TestFolder folder;
  {
    SetupProcess old(PackSetup(folder, u"v1.exe", Product("Plove Staged", "1.0", "C:\\Plove Staged\\", 3)),
                     u"--silent");
    ASSERT_EQ(old.Wait(), 0u);
  }
  const PrefixSnapshot before = TakePrefixSnapshot();
  const StringList pendingBefore = PendingRenameSources();
  {
    ScopedFileHandle held(CreateFileW(L"C:\\Plove Staged\\f1.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    SetupProcess run(
        PackWithDamagedMember(folder, u"v2.exe", Product("Plove Staged", "2.0", "C:\\Plove Staged\\", 3), 3),
        u"--silent");
    EXPECT_EQ(run.Wait(), 1603u);
  }
  EXPECT_EQ(PendingRenameSources().Count(), pendingBefore.Count());
  ExpectSameMachine(before);
  ASSERT_TRUE(RestartWinePrefix());
  EXPECT_EQ(FileBytes(u"C:\\Plove Staged\\f1.txt"), "f1.txt of Plove Staged 1.0\r\n");
  ExpectOldUninstallerWorks(u"Plove Staged", u"C:\\Plove Staged\\");
}

// Ends the processes whose parent is parent (the probe a killed copy
// started), so that none is left running.
void EndChildrenOf(DWORD parent) {
  ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID != parent) continue;
    ScopedKernelHandle child(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!child) continue;
    TerminateProcess(child.Get(), 1);
    WaitForSingleObject(child.Get(), 30000);
  }
}

// The elevated copy killed half-way leaves its journal: the next silent run
// of the product undoes it first, then installs.
TEST(RollbackInstall, KilledRunIsUndoneByTheNextRun) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  const std::string wait = "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probe.ToUtf8() + "\" 0 30000\r\n\r\n";
  // Version 1.0 is installed; the killed run is an install of 2.0 over it.
  {
    SetupProcess old(PackSetup(folder, u"v1.exe", Product("Plove Killed", "1.0", "C:\\Plove Killed\\", 3)),
                     u"--silent");
    ASSERT_EQ(old.Wait(), 0u);
  }
  // Members too large to be held in memory, after the program: decoded
  // ahead into temporary files beside their destinations (in a folder the
  // run makes), never placed.
  std::vector<PackSource> more = {{"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}};
  std::string bigLines;
  for (int i = 1; i <= 2; ++i) {
    const std::string name = "big" + std::to_string(i) + ".bin";
    std::vector<uint8_t> bytes(3u << 19);
    for (size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<uint8_t>((b * 2654435761u + i) >> 13);
    more.push_back({name, bytes});
    bigLines += "[CopyFile]\r\n" + name + "\r\n<Destination>Sub\\" + name + "\r\n";
  }
  const WideString setup = PackSetup(folder, u"v2.exe",
                                     Product("Plove Killed", "2.0", "C:\\Plove Killed\\", 3, wait + bigLines, 2, more));
  {
    SetupProcess run(setup, u"--silent");
    ASSERT_TRUE(driver::WaitFor([&] { return FileExists(probe) && !FileBytes(probe).empty(); }, 60000));
    ASSERT_TRUE(driver::WaitFor([&] { return NamesIn(u"C:\\Plove Killed\\Sub\\", u"~PLI*", false).size() == 2; },
                                60000));
    // The elevated copy is the probe's parent.
    const std::string report = FileBytes(probe);
    const WideString text(reinterpret_cast<const WChar*>(report.data()), static_cast<int>(report.size() / 2));
    const DWORD copy = static_cast<DWORD>(text.ParseInteger());
    ScopedKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, copy));
    ASSERT_TRUE(process);
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 30000);
    EndChildrenOf(copy);
    EXPECT_EQ(run.Wait(), 1603u);
  }
  EXPECT_EQ(FileBytes(u"C:\\Plove Killed\\f2.txt"), "f2.txt of Plove Killed 2.0\r\n");
  // An uninstaller started now would find the journal first too; the next
  // install (2.0 without the program that waits) undoes it, then installs.
  const WideString recordFolder = ParentFolder(UninstallRecordArgument(EntryValue(u"Plove Killed", u"UninstallString")));
  EXPECT_TRUE(FileExists(recordFolder + u"PloveRollback-Plove Killed.dat"));
  const WideString log = folder / u"again.log";
  SetupProcess again(PackSetup(folder, u"again.exe", Product("Plove Killed", "2.0", "C:\\Plove Killed\\", 3)),
                     u"--log=\"" + log + u"\" --silent");
  EXPECT_EQ(again.Wait(), 0u);
  const std::string logText = FileBytes(log);
  EXPECT_NE(logText.find("an earlier run was interrupted"), std::string::npos) << logText;
  EXPECT_FALSE(FileExists(recordFolder + u"PloveRollback-Plove Killed.dat"));
  EXPECT_EQ(FileBytes(u"C:\\Plove Killed\\f3.txt"), "f3.txt of Plove Killed 2.0\r\n");
  EXPECT_EQ(EntryValue(u"Plove Killed", u"DisplayVersion"), WideString(u"2.0"));
  // Exactly the files of the run that completed: no temporary file, no
  // folder of the killed run.
  std::vector<WideString> left = NamesIn(u"C:\\Plove Killed\\", u"*", false);
  std::sort(left.begin(), left.end(), [](const WideString& a, const WideString& b) { return a.Str() < b.Str(); });
  EXPECT_EQ(left, (std::vector<WideString>{u"f1.txt", u"f2.txt", u"f3.txt"}));
  EXPECT_TRUE(NamesIn(recordFolder, u"~PLI*", false).empty());
  ExpectOldUninstallerWorks(u"Plove Killed", u"C:\\Plove Killed\\");
}

// One run of a product at a time: a second installer of the product
// started while the first one runs changes nothing and fails.
TEST(RollbackInstall, SecondRunOfTheProductIsRefused) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  const std::string wait = "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probe.ToUtf8() + "\" 0 8000\r\n\r\n";
  const WideString first = PackSetup(folder, u"first.exe",
                                     Product("Plove Twice", "1.0", "C:\\Plove Twice\\", 2, wait, 1,
                                             {{"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}}));
  const WideString second =
      PackSetup(folder, u"second.exe", Product("Plove Twice", "1.0", "C:\\Plove Twice Too\\", 2));
  SetupProcess run(first, u"--silent");
  ASSERT_TRUE(driver::WaitFor([&] { return FileExists(probe) && !FileBytes(probe).empty(); }, 60000));
  const WideString log = folder / u"second.log";
  SetupProcess again(second, u"--log=\"" + log + u"\" --silent");
  EXPECT_EQ(again.Wait(), 1603u);
  EXPECT_NE(FileBytes(log).find("Another setup of Plove Twice is running"), std::string::npos) << FileBytes(log);
  EXPECT_FALSE(FileExists(u"C:\\Plove Twice Too\\f1.txt"));
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_EQ(FileBytes(u"C:\\Plove Twice\\f2.txt"), "f2.txt of Plove Twice 1.0\r\n");
  ExpectOldUninstallerWorks(u"Plove Twice", u"C:\\Plove Twice\\");
}

#ifdef PLOVE_SMALL_DRIVE_PATH
// The drive that holds the journal is full: the run cannot keep it, so it
// changes nothing; a journal that fills the drive during the plan stops the
// run before its first file.
TEST(RollbackInstall, JournalOnAFullDriveStopsTheRunFirst) {
  WideString root;
  std::string whyNot;
  if (!SmallDriveAvailable(&root, &whyNot)) GTEST_SKIP() << whyNot;
  const std::vector<WideString> driveBefore = NamesIn(root, u"*", false);
  const WideString records = root + u"PloveUninstall\\";
  // Fill the drive up to its last few kilobytes.
  const WideString filler = root + u"filler.bin";
  {
    ScopedFileHandle file(CreateFileW(filler.W(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file);
    const std::vector<uint8_t> block(4096, 0x33);
    DWORD written = 0;
    while (WriteFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written != 0) {
    }
  }
  EXPECT_FALSE(BeginRunJournal(records, u"Plove Full Journal"));
  EXPECT_FALSE(RunJournalActive());
  std::vector<WideString> withFiller = driveBefore;
  withFiller.push_back(u"filler.bin");
  std::vector<WideString> now = NamesIn(root, u"*", false);
  std::sort(now.begin(), now.end(), [](const WideString& a, const WideString& b) { return a.Str() < b.Str(); });
  std::sort(withFiller.begin(), withFiller.end(), [](const WideString& a, const WideString& b) { return a.Str() < b.Str(); });
  EXPECT_EQ(now, withFiller);
  // Room for the journal's start, not for a plan of many long paths.
  DeleteFileW(filler.W());
  ASSERT_TRUE(BeginRunJournal(records, u"Plove Full Journal"));
  {
    ScopedFileHandle file(CreateFileW(filler.W(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file);
    const std::vector<uint8_t> block(4096, 0x33);
    DWORD written = 0;
    while (WriteFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written != 0) {
    }
  }
  std::vector<WideString> plan;
  for (int i = 0; i < 2000; ++i) plan.push_back(root + u"App\\" + WideString(std::u16string(200, u'n')) + WideString::FromUnsigned(i));
  EXPECT_FALSE(NoteRunFolders(plan));
  StringList notRestored;
  EXPECT_TRUE(RollBackRunJournal(notRestored));
  DeleteFileW(filler.W());
  EXPECT_EQ(NamesIn(root, u"*", false), driveBefore);
}

namespace {

// Every file below folder with its size, for a comparison.
std::vector<std::string> TreeOf(const WideString& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((folder + u"*").W(), &found);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    const WideString name(reinterpret_cast<const WChar*>(found.cFileName));
    if (name == WideString(u".") || name == WideString(u"..")) continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      files.push_back((folder + name).ToUtf8() + "\\");
      for (const std::string& below : TreeOf(folder + name + u"\\")) files.push_back(below);
    } else {
      files.push_back((folder + name).ToUtf8() + " " + std::to_string(found.nFileSizeLow));
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

// The drive that fills up is the one that holds the journal (Program Files
// is there, with the uninstall folder): an upgrade whose member does not
// fit fails, and the old version is back as it was, its uninstaller too.
TEST(RollbackInstall, FullDriveOfTheJournalLeavesTheOldVersion) {
  WideString root;
  std::string whyNot;
  if (!SmallDriveAvailable(&root, &whyNot)) GTEST_SKIP() << whyNot;
  const WideString key(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  const WideString programFiles = root + u"Program Files";
  ASSERT_TRUE(CreateDirectoryW(programFiles.W(), nullptr));
  const WChar* const names[] = {u"ProgramFilesDir", u"ProgramW6432Dir"};
  WideString saved[2];
  for (int i = 0; i < 2; ++i) {
    saved[i] = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(names[i]));
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, key, WideString(names[i]), programFiles));
  }
  TestFolder folder;
  const std::string install = programFiles.ToUtf8() + "\\Plove Journal Drive\\";
  {
    const WideString log = folder / u"v1.log";
    SetupProcess old(PackSetup(folder, u"v1.exe", Product("Plove Journal Drive", "1.0", install, 3)),
                     u"--log=\"" + log + u"\" --silent");
    EXPECT_EQ(old.Wait(), 0u) << FileBytes(log);
  }
  EXPECT_TRUE(FileExists(programFiles + u"\\PloveUninstall\\PloveUninstall-Plove Journal Drive.dat"));
  const std::vector<std::string> driveBefore = TreeOf(root);
  std::vector<PackSource> members = Product("Plove Journal Drive", "2.0", install, 3);
  members.push_back({"big.bin", std::vector<uint8_t>(8u << 20, 0x5A)});
  members[0].data = Bytes(std::string(members[0].data.begin(), members[0].data.end()) +
                          "[CopyFile]\r\nbig.bin\r\n<Destination>big.bin\r\n");
  SetupProcess run(PackSetup(folder, u"v2.exe", members), u"--silent");
  EXPECT_EQ(run.Wait(), 1603u);
  EXPECT_EQ(TreeOf(root), driveBefore);
  EXPECT_EQ(FileBytes(WideString::FromUtf8(install.c_str()) + u"f2.txt"), "f2.txt of Plove Journal Drive 1.0\r\n");
  ExpectOldUninstallerWorks(u"Plove Journal Drive", WideString::FromUtf8(install.c_str()));
  for (int i = 0; i < 2; ++i) WriteRegistryString(HKEY_LOCAL_MACHINE, key, WideString(names[i]), saved[i]);
  RemoveDirectoryW((programFiles + u"\\PloveUninstall").W());
  RemoveDirectoryW(programFiles.W());
}

// A drive that fills up: the copy fails unattended, and the drive is as it
// was.
TEST(RollbackInstall, FullDiskLeavesTheDriveAsItWas) {
  WideString root;
  std::string whyNot;
  if (!SmallDriveAvailable(&root, &whyNot)) GTEST_SKIP() << whyNot;
  TestFolder folder;
  std::vector<PackSource> members = Product("Plove Full", "1.0", root.ToUtf8() + "Plove Full\\", 3);
  // A member larger than the drive, after two small ones.
  members.push_back({"big.bin", std::vector<uint8_t>(8u << 20, 0x5A)});
  members[0].data = Bytes(std::string(members[0].data.begin(), members[0].data.end()) +
                          "[CopyFile]\r\nbig.bin\r\n<Destination>big.bin\r\n");
  const PrefixSnapshot before = TakePrefixSnapshot();
  const std::vector<WideString> driveBefore = NamesIn(root, u"*", false);
  SetupProcess run(PackSetup(folder, u"setup.exe", members), u"--silent");
  EXPECT_EQ(run.Wait(), 1603u);
  EXPECT_EQ(NamesIn(root, u"*", false), driveBefore);
  ExpectSameMachine(before);
}
#endif
