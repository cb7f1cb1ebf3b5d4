// The install log ("--log=PATH") of the real installer and uninstaller, as
// an administrator's script or a package manager asks for it: what each
// process of a run writes into the one file, and that the option changes
// nothing else about the run.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "container_test_support.h"
#include "engine/win/uninstall_record.h"
#include "install_log_reading.h"
#include "resources/resource_ids.h"
#include "setup_harness.h"
#include "util/log_line.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"
#include "window_driver.h"

namespace {

const WChar* const kFirst = u"first process";
const WChar* const kElevated = u"elevated copy";

WideString LogOption(const WideString& path) { return u"--log=\"" + path + u"\""; }

std::string Quoted(const WideString& path) { return "\"" + path.ToUtf8() + "\""; }

// A product whose script names its folder and brings the files given.
std::vector<PackSource> Product(const std::string& name, const std::string& body,
                                std::vector<PackSource> files = {{"app.txt", Bytes("application\r\n")}}) {
  const std::string script = "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n3.1\r\n[Install To]\r\nC:\\" +
                             name + "\\\r\n" + body;
  files.insert(files.begin(), PackSource{"setup.dat", Bytes(script)});
  return files;
}

// The names in a folder (not "." and ".."), except those that start with
// "PLI": the test folders and the installer's own temporary entries, which
// SetupProcess::Leftovers checks.
std::vector<WideString> FolderEntries(const WideString& folder) {
  std::vector<WideString> names;
  for (const WideString& name : NamesIn(folder, WideString(u"*"), false)) {
    if (!name.StartsWith(u"PLI")) names.push_back(name);
  }
  return names;
}

// The other processes' ids in the log, role by role.
std::vector<DWORD> ProcessesWithRole(const std::vector<InstallLogLine>& log, const WChar* role) {
  std::vector<DWORD> ids;
  for (const InstallLogLine& line : LinesOfKind(log, u"start")) {
    if (line.role == WideString(role)) ids.push_back(line.processId);
  }
  return ids;
}

}  // namespace

TEST(InstallLog, SilentInstallLogsEachStepOfBothProcesses) {
  TestFolder folder;
  // The log's folder does not exist yet.
  const WideString log = folder / u"logs\\install.log";
  const WideString probeElevated = folder / u"probe-elevated.txt";
  const WideString probeUser = folder / u"probe-user.txt";
  // One file to replace, one held open so that its new version waits for
  // the next restart.
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Plove Logged", nullptr));
  ASSERT_TRUE(WriteWholeFile(u"C:\\Plove Logged\\old.txt", "old\r\n"));
  ASSERT_TRUE(WriteWholeFile(u"C:\\Plove Logged\\busy.txt", "busy\r\n"));
  ScopedFileHandle held(CreateFileW(L"C:\\Plove Logged\\busy.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);

  // lib.dll comes twice: version 2 is placed, then version 1 is kept out by
  // the version rule. The probe run from the payload runs in the elevated
  // copy; the installed probe, which does not ask for administrator rights,
  // is handed to the first process. The HKCU value goes there too.
  const std::string body =
      "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"
      "[CopyFile]\r\nold.txt\r\n<Destination>old.txt\r\n"
      "[CopyFile]\r\nbusy.txt\r\n<Destination>busy.txt\r\n"
      "[CopyFile]\r\nlib2.dll\r\n<Destination>lib.dll\r\n"
      "[CopyFile]\r\nlib1.dll\r\n<Destination>lib.dll\r\n"
      "[CopyFile]\r\nprobe.exe\r\n<Destination>probe.exe\r\n"
      "[CreateIcon]\r\n<Destination>app.txt\r\n<Destination>App.lnk\r\n\r\n\r\n"
      "[Registry]\r\nHKLM\r\nSoftware\\Plove Logged\r\nSTRING\r\nFolder\r\n<Destination>\r\n"
      "[Registry]\r\nHKCU\r\nSoftware\\Plove Logged\r\nDWORD\r\nCount\r\n7\r\n"
      "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n" + Quoted(probeElevated) + " 7\r\n\r\n"
      "[RunAndWaitFile]\r\n<Destination>probe.exe\r\n" + Quoted(probeUser) + " 3\r\n\r\n";
  const WideString setup =
      PackSetup(folder, u"setup.exe",
                Product("Plove Logged", body,
                        {{"app.txt", Bytes("new app\r\n")},
                         {"old.txt", Bytes("new old\r\n")},
                         {"busy.txt", Bytes("new busy\r\n")},
                         {"lib1.dll", ReadHostFile(PLOVE_VERSION1_DLL_PATH)},
                         {"lib2.dll", ReadHostFile(PLOVE_VERSION2_DLL_PATH)},
                         {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}}));
  const WideString arguments = u"--silent --noautoreboot " + LogOption(log);
  SetupProcess run(setup, arguments);
  ASSERT_TRUE(run.Started());
  EXPECT_EQ(run.Wait(), 3010u);
  held.Reset();

  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  ExpectEachProcessFramed(lines, kFirst, 3010);
  // The elevated copy wrote to the same file, as a process of its own.
  const std::vector<DWORD> firsts = ProcessesWithRole(lines, kFirst);
  const std::vector<DWORD> copies = ProcessesWithRole(lines, kElevated);
  ASSERT_EQ(firsts, std::vector<DWORD>{run.Id()});
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_NE(copies[0], run.Id());

  const WideString inUse = WindowsErrorText(ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(inUse.IsEmpty());
  const WideString uninstallKey = u"HKLM\\" + UninstallKeyPath(u"Plove Logged") + u"\\";
  ExpectLogLines(lines, {
      {kFirst, u"start", u" " + arguments},
      {kElevated, u"start", u" --selfrun --IsElevated=\""},
      {kElevated, u"start", LogOption(log)},
      {kElevated, u"install", u"Plove Logged 3.1 into C:\\Plove Logged\\"},
      {kElevated, u"file new", u"C:\\Plove Logged\\app.txt"},
      {kElevated, u"file replaced", u"C:\\Plove Logged\\old.txt"},
      {kElevated, u"file in use", u"copy to C:\\Plove Logged\\busy.txt: " + inUse + u" (error 32)"},
      {kElevated, u"file staged for restart", u"C:\\Plove Logged\\busy.txt"},
      {kElevated, u"file new", u"C:\\Plove Logged\\lib.dll"},
      {kElevated, u"file kept", u"C:\\Plove Logged\\lib.dll (installed version is newer)"},
      {kElevated, u"shortcut created", u"C:\\Plove Logged\\App.lnk -> C:\\Plove Logged\\app.txt"},
      {kElevated, u"registry set", u"HKLM\\Software\\Plove Logged\\Folder = \"C:\\Plove Logged\\\""},
      {kElevated, u"registry set", uninstallKey + u"DisplayVersion = \"3.1\""},
      {kElevated, u"registry set", uninstallKey + u"NoModify = 1"},
      {kElevated, u"uninstall record", UninstallRecordPathFor(u"Plove Logged")},
      {kElevated, u"run", u"probe.exe\" \"" + probeElevated + u"\" 7: exit code 7"},
      {kElevated, u"run", u"C:\\Plove Logged\\probe.exe\" \"" + probeUser + u"\" 3: handed to the first process"},
      {kElevated, u"dll registered", u"C:\\Plove Logged\\lib.dll"},
      {kFirst, u"registry set", u"HKCU\\Software\\Plove Logged\\Count = 7"},
      {kFirst, u"run", u"C:\\Plove Logged\\probe.exe\" \"" + probeUser + u"\" 3: exit code 3"},
  });
  // Nothing failed, nothing was asked.
  EXPECT_TRUE(LinesOfKind(lines, u"failure").empty());
  EXPECT_TRUE(LinesOfKind(lines, u"message").empty());
}

TEST(InstallLog, QuietUninstallLogsWhatGoes) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  const std::string body =
      "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"
      "[CopyFile]\r\nprobe.exe\r\n<Destination>probe.exe\r\n"
      "[CreateIcon]\r\n<Destination>app.txt\r\n<Destination>App.lnk\r\n\r\n\r\n"
      "[Registry]\r\nHKLM\r\nSoftware\\Plove Removed\r\nSTRING\r\nFolder\r\n<Destination>\r\n"
      "[UninstallAction]\r\n<Destination>probe.exe\r\n" + Quoted(probe) + " 5\r\n";
  const WideString setup = PackSetup(
      folder, u"setup.exe",
      Product("Plove Removed", body, {{"app.txt", Bytes("app\r\n")}, {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}}));
  {
    SetupProcess install(setup, u"--silent");
    ASSERT_EQ(install.Wait(), 0u);
  }
  const WideString record = UninstallRecordPathFor(u"Plove Removed");
  const WideString uninstaller = UninstallerCopyPath(u"Plove Removed");
  // The entry's quiet command with the log option before "--uninstall=",
  // which takes the rest of the line.
  WideString quiet = ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Removed"),
                                        u"QuietUninstallString");
  const int at = quiet.Find(u" --uninstall=");
  ASSERT_NE(at, 0) << quiet;
  const WideString log = folder / u"uninstall.log";
  quiet.Insert(u" " + LogOption(log), at);
  const WideString arguments = quiet.From(quiet.FindChar(u'"', 2) + 2);

  SetupProcess run(uninstaller, arguments);
  EXPECT_EQ(run.Wait(60000), 0u);
  EXPECT_FALSE(FileExists(u"C:\\Plove Removed\\app.txt"));

  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  ExpectEachProcessFramed(lines, u"uninstaller", 0);
  EXPECT_EQ(ProcessesWithRole(lines, u"uninstaller"), std::vector<DWORD>{run.Id()});
  const WChar* const kRole = u"uninstaller";
  ExpectLogLines(lines, {
      {kRole, u"start", u" " + arguments},
      {kRole, u"uninstall", u"Plove Removed from the record " + record},
      {kRole, u"run", u"C:\\Plove Removed\\probe.exe\" \"" + probe + u"\" 5: exit code 5"},
      {kRole, u"file removed", u"C:\\Plove Removed\\app.txt"},
      {kRole, u"file removed", u"C:\\Plove Removed\\probe.exe"},
      {kRole, u"shortcut removed", u"C:\\Plove Removed\\App.lnk"},
      {kRole, u"registry removed", u"HKLM\\Software\\Plove Removed\\Folder"},
      {kRole, u"registry key removed",
       u"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\probe.exe"},
      {kRole, u"registry key removed", u"HKLM\\" + UninstallKeyPath(u"Plove Removed")},
      {kRole, u"folder removed", u"C:\\Plove Removed"},
      {kRole, u"file removed", record},
      {kRole, u"file removed at restart", uninstaller},
  });
  EXPECT_TRUE(LinesOfKind(lines, u"failure").empty());
}

TEST(InstallLog, FailureCarriesWindowsTextAndTheSilentAnswer) {
  TestFolder folder;
  const WideString log = folder / u"failed.log";
  // A folder where the file should go: the copy cannot overwrite it.
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Plove Blocked", nullptr));
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Plove Blocked\\app.txt", nullptr));
  const WideString setup =
      PackSetup(folder, u"setup.exe", Product("Plove Blocked", "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"));
  SetupProcess run(setup, u"--silent " + LogOption(log));
  EXPECT_EQ(run.Wait(), 1603u);

  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  ExpectEachProcessFramed(lines, kFirst, 1603);
  // The copy's failure with Windows' own text for its error code.
  const std::vector<InstallLogLine> failures = LinesOfKind(lines, u"failure");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].role, WideString(kElevated));
  const WideString& detail = failures[0].detail;
  const int codeAt = detail.Find(u" (error ");
  ASSERT_NE(codeAt, 0) << detail;
  const DWORD code = static_cast<DWORD>(detail.From(codeAt + 8).ParseInteger());
  EXPECT_NE(code, 0u);
  EXPECT_FALSE(WindowsErrorText(code).IsEmpty());
  EXPECT_EQ(detail, u"copy to C:\\Plove Blocked\\app.txt: " + ErrorDetail(WindowsErrorText(code), code));
  // The question that followed, answered by the silent run itself.
  ExpectLogLines(lines, {{kElevated, u"message",
                          u"Plove Blocked Installer: Cannot install 'C:\\Plove Blocked\\app.txt', disk may be full. "
                          u"-> Cancel (unattended)"}});
}

TEST(InstallLog, OptionWordsInTheLogPathChangeNothing) {
  struct Case {
    const char* product;
    const WChar* logName;    // in the test folder
    const WChar* arguments;  // before the log option
    bool wizardShown;        // the wizard waits, and is cancelled
    DWORD code;
  };
  const Case cases[] = {
      // "--silent" inside the path does not make the run silent.
      {"Plove Shown", u"--silent --noautoreboot\\a.log", u"", true, 1602},
      // "--installto" inside the path does not move the install.
      {"Plove Kept Here", u"--installto=Elsewhere\\b.log", u"--silent", false, 0},
  };
  for (const Case& c : cases) {
    TestFolder folder;
    const WideString log = folder / c.logName;
    const WideString name = WideString::FromUtf8(c.product);
    const WideString setup =
        PackSetup(folder, u"setup.exe", Product(c.product, "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"));
    WideString arguments(c.arguments);
    if (!arguments.IsEmpty()) arguments += u" ";
    SetupProcess run(setup, arguments + LogOption(log));
    if (c.wizardShown) {
      HWND wizard = nullptr;
      ASSERT_TRUE(driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; },
                                  30000))
          << c.product;
      SendMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(run.Wait(), c.code) << c.product;
    EXPECT_EQ(FileExists(u"C:\\" + name + u"\\app.txt"), c.code == 0) << c.product;
    const std::vector<InstallLogLine> lines = ReadInstallLog(log);
    ExpectEachProcessFramed(lines, kFirst, static_cast<int>(c.code));
    EXPECT_EQ(ProcessesWithRole(lines, kElevated).size(), 1u) << c.product;
  }
}

TEST(InstallLog, ProcessesWritingAtOnceKeepEveryLineWhole) {
  TestFolder folder;
  const WideString log = folder / u"shared.log";
  constexpr int kWriters = 3;
  constexpr int kLines = 2000;
  std::vector<std::unique_ptr<SetupProcess>> writers;
  for (int i = 0; i < kWriters; ++i) {
    writers.push_back(std::make_unique<SetupProcess>(HostPath(PLOVE_LOG_WRITER_PATH),
                                                     WideString::Format(u"\"%s\" %d", log, kLines)));
  }
  for (const auto& writer : writers) EXPECT_EQ(writer->Wait(60000), 0u);

  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  ExpectEachProcessFramed(lines, u"writer", 0);
  // Every process's lines are all there, whole and in its own order.
  std::map<DWORD, int> next;
  for (const InstallLogLine& line : LinesOfKind(lines, u"file new")) {
    const int expected = next[line.processId]++;
    EXPECT_TRUE(line.detail.StartsWith(WideString::Format(u"C:\\Writer\\%d\\", expected))) << line.detail;
    EXPECT_TRUE(line.detail.EndsWith(u"\\end")) << line.detail;
  }
  EXPECT_EQ(next.size(), static_cast<size_t>(kWriters));
  for (const auto& [processId, count] : next) EXPECT_EQ(count, kLines) << processId;
}

TEST(InstallLog, NothingIsWrittenWithoutTheOption) {
  TestFolder folder;
  const WideString setup =
      PackSetup(folder, u"setup.exe", Product("Plove Plain", "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"));
  const std::vector<WideString> besideBefore = FolderEntries(folder.Path());
  const std::vector<WideString> tempBefore = FolderEntries(TempFolder());
  // After "--installto" the log option's text is part of the folder's name.
  SetupProcess run(setup, u"--silent --installto=\"C:\\Plove Plain\\--log=here\"");
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(FileExists(u"C:\\Plove Plain\\--log=here\\app.txt"));
  EXPECT_EQ(FolderEntries(folder.Path()), besideBefore);
  EXPECT_EQ(FolderEntries(TempFolder()), tempBefore);
  EXPECT_EQ(run.Leftovers(), std::vector<WideString>());
  EXPECT_EQ(FolderEntries(u"C:\\Plove Plain\\--log=here\\"), std::vector<WideString>{u"app.txt"});
}

TEST(InstallLog, ContainerAndItsInnerInstallersShareTheLog) {
  TestFolder folder;
  const WideString log = folder / u"container.log";
  const WideString inner =
      PackSetup(folder, u"inner.exe", Product("Plove Inner", "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"));
  const std::string innerBytes = FileBytes(inner);
  const WideString container =
      PackSetup(folder, u"container.exe",
                ContainerPayload("[InstallContainer]\r\n",
                                 {{"Inner.exe", std::vector<uint8_t>(innerBytes.begin(), innerBytes.end())}}));
  ContainerProcess run(container, u"--silent " + LogOption(log));
  EXPECT_EQ(run.Process().Wait(180000), 0u);
  EXPECT_TRUE(FileExists(u"C:\\Plove Inner\\app.txt"));

  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  ExpectEachProcessFramed(lines, kFirst, 0);
  // The container, the inner installer's first process and its elevated copy.
  const DWORD containerId = run.Process().Id();
  std::vector<DWORD> innerFirsts;
  for (DWORD id : ProcessesWithRole(lines, kFirst)) {
    if (id != containerId) innerFirsts.push_back(id);
  }
  EXPECT_EQ(innerFirsts.size(), 1u);
  EXPECT_EQ(ProcessesWithRole(lines, kElevated).size(), 1u);
  ExpectLogLines(lines, {
      {u"container", u"container", u"inner installers to run: Inner.exe"},
      {u"container", u"run", u"Inner.exe\" "},
      {u"container", u"run", u" --silent --noautoreboot --selfrun " + LogOption(log) + u": exit code 0"},
      {u"container", u"end", u"exit code 0"},
      {kFirst, u"start", u" --silent --noautoreboot --selfrun " + LogOption(log)},
      {kElevated, u"file new", u"C:\\Plove Inner\\app.txt"},
  });
}


namespace {

// This test plays the first process of an elevated copy that it starts
// itself: it opens the log and makes the relay file, which it never serves.
struct HandStartedCopy {
  explicit HandStartedCopy(const TestFolder& folder)
      : log(folder / u"handed.log"), toldPath(folder / u"told.log"), relay(folder / u"relay.tmp") {
    WriteWholeFile(relay, "", 0);
  }
  WideString Arguments(bool passHandle) const {
    const WideString handle =
        passHandle ? WideString::Format(u" --loghandle=%u",
                                        static_cast<unsigned>(reinterpret_cast<uintptr_t>(InstallLogHandle())))
                   : WideString();
    return u"--selfrun --IsElevated=\"" + relay + u"\"" + handle + u" --silent " + LogOption(toldPath);
  }
  WideString log;
  WideString toldPath;  // the path the copy is given: never its to open
  WideString relay;
};

}  // namespace

TEST(InstallLog, ElevatedCopyWritesOnlyThroughItsFirstProcessHandle) {
  TestFolder folder;
  const HandStartedCopy copy(folder);
  const WideString setup =
      PackSetup(folder, u"setup.exe", Product("Plove Handed", "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"));
  for (bool passHandle : {true, false}) {
    SCOPED_TRACE(passHandle ? "with the handle" : "without it");
    DeleteFileW(copy.log.W());
    ASSERT_TRUE(OpenInstallLog(copy.log, u"test", u"test"));
    SetupProcess run(setup, copy.Arguments(passHandle));
    EXPECT_EQ(run.Wait(), 0u);
    CloseInstallLog(0);
    const std::vector<InstallLogLine> lines = ReadInstallLog(copy.log);
    EXPECT_EQ(ProcessesWithRole(lines, kElevated).size(), passHandle ? 1u : 0u);
    if (passHandle) ExpectLogLines(lines, {{kElevated, u"file new", u"C:\\Plove Handed\\app.txt"}});
    // The copy, with administrator rights, never opens or creates the path.
    EXPECT_FALSE(FileExists(copy.toldPath));
  }
}

TEST(InstallLog, ElevatedCopyThatNobodyServesDoesNotWaitForEver) {
  TestFolder folder;
  const HandStartedCopy copy(folder);
  const WideString key = u"Software\\Plove Unserved";
  DeleteRegistryTree(HKEY_CURRENT_USER, u"Software", u"Plove Unserved");
  const WideString setup = PackSetup(
      folder, u"setup.exe",
      Product("Plove Unserved", "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"
                                "[Registry]\r\nHKCU\r\nSoftware\\Plove Unserved\r\nDWORD\r\nCount\r\n7\r\n"));
  ASSERT_TRUE(OpenInstallLog(copy.log, u"test", u"test"));
  // Started by hand, as from an elevated prompt: its parent serves nothing.
  SetupProcess run(setup, copy.Arguments(true));
  // About 30 s for the command that nobody takes, then the install goes on:
  // like any other failed registry write, it fails nothing else.
  EXPECT_EQ(run.Wait(120000), 0u);
  CloseInstallLog(0);
  EXPECT_TRUE(FileExists(u"C:\\Plove Unserved\\app.txt"));
  DWORD size = 0;
  EXPECT_NE(RegGetValueW(HKEY_CURRENT_USER, key.W(), L"Count", RRF_RT_ANY, nullptr, nullptr, &size), ERROR_SUCCESS);
  const std::vector<InstallLogLine> failures = LinesOfKind(ReadInstallLog(copy.log), u"failure");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].role, WideString(kElevated));
  EXPECT_EQ(failures[0].detail,
            u"relay command [setreg_hkcu_dword] Count Software\\Plove Unserved 7 was not taken by the first process "
            u"within 30 s: " + ErrorDetail(WindowsErrorText(ERROR_TIMEOUT), ERROR_TIMEOUT));
}

// Programs that start others with an argument list (PowerShell's
// Start-Process -ArgumentList, Python's subprocess, .NET's ArgumentList)
// quote every argument that holds a blank as a whole: "--log=C:\a b.log".
TEST(InstallLog, WholeQuotedArgumentsOfInstallerAndUninstaller) {
  TestFolder folder;
  const WideString setup =
      PackSetup(folder, u"setup.exe", Product("Plove Quoted", "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"));
  const WideString installLog = folder / u"install log.txt";
  {
    SetupProcess install(setup, u"--silent \"--installto=C:\\Plove Quoted\\My App\" \"--log=" + installLog + u"\"");
    ASSERT_EQ(install.Wait(), 0u);
  }
  EXPECT_TRUE(FileExists(u"C:\\Plove Quoted\\My App\\app.txt"));
  ExpectEachProcessFramed(ReadInstallLog(installLog), kFirst, 0);

  // Where the install put them follows its 32-bit or 64-bit choice: read from the entry.
  const WideString record = UninstallRecordArgument(
      ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Quoted"), u"UninstallString"));
  ASSERT_NE(record.Find(u" "), 0) << "the record's path holds a blank: " << record.ToUtf8();
  const WideString uninstallLog = folder / u"uninstall log.txt";
  const WideString uninstaller =
      ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Quoted"), u"DisplayIcon");
  SetupProcess run(uninstaller, u"--silent \"--log=" + uninstallLog + u"\" \"--uninstall=" + record + u"\"");
  ASSERT_TRUE(run.Started()) << uninstaller.ToUtf8();
  EXPECT_EQ(run.Wait(60000), 0u) << FileBytes(uninstallLog);
  EXPECT_FALSE(FileExists(u"C:\\Plove Quoted\\My App\\app.txt"));
  EXPECT_FALSE(FileExists(record));
  ExpectEachProcessFramed(ReadInstallLog(uninstallLog), u"uninstaller", 0);
}
