// The real installer started with "--silent", as an administrator's script
// or a package manager starts it: the first process relaunches itself,
// serves the relay, and passes the elevated copy's exit code on; nothing
// waits for a person on any path.

#include <gtest/gtest.h>

#include "engine/win/folder_macros.h"
#include "engine/win/uninstall_record.h"
#include "install_log_reading.h"
#include "packer/container_members.h"
#include "payload/archive_format.h"
#include "setup_harness.h"
#include "util/log_line.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"

namespace {

const WideString kUninstallKey(u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");

WideString Expanded(const WChar* text) {
  WideString expanded(text);
  ExpandFolderMacros(expanded);
  return expanded;
}

std::string ExampleScript() {
  std::vector<uint8_t> bytes = ReadHostFile(PLOVE_EXAMPLE_DIR "/setup.dat");
  return std::string(bytes.begin(), bytes.end());
}

// The example product, with a probe run at the end that tells which process
// performed the install.
std::vector<PackSource> ExampleMembers(const WideString& probeOutput) {
  std::string script = ExampleScript();
  script += "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probeOutput.ToUtf8() + "\"\r\n\r\n";
  return {{"setup.dat", Bytes(script)},
          {"setup.lic", ReadHostFile(PLOVE_EXAMPLE_DIR "/setup.lic")},
          {"hello-app.exe", ReadHostFile(PLOVE_HELLO_APP_PATH)},
          {"readme.txt", ReadHostFile(PLOVE_EXAMPLE_DIR "/files/readme.txt")},
          {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}};
}

std::vector<PackSource> SmallProduct(const std::string& name, const std::string& installTo,
                                     const std::string& extra = std::string()) {
  const std::string script = "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n2.0\r\n[Install To]\r\n" +
                             installTo + "\r\n[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n" + extra;
  return {{"setup.dat", Bytes(script)}, {"app.txt", Bytes("application data\r\n")}};
}

// The probe's report: the process that ran it and that process's command line.
struct ProbeReport {
  DWORD parent = 0;
  WideString parentCommandLine;
};

ProbeReport ReadProbe(const WideString& path) {
  std::string bytes = FileBytes(path);
  WideString text(reinterpret_cast<const WChar*>(bytes.data()), static_cast<int>(bytes.size() / 2));
  ProbeReport report;
  const int lineEnd = text.Find(u"\r\n");
  if (lineEnd == 0) return report;
  report.parent = static_cast<DWORD>(text.Left(lineEnd - 1).ParseInteger());
  report.parentCommandLine = text.From(lineEnd + 2);
  return report;
}

bool WaitForFileOf(const WideString& path, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!FileExists(path) || FileBytes(path).empty()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

void RemoveProduct(const WideString& name) {
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"), name);
}

}  // namespace

TEST(SilentInstall, InstallsTheExampleEndToEnd) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  const WideString setup = PackSetup(folder, u"plove-hello-setup.exe", ExampleMembers(probe));
  SetupProcess run(setup, u"--silent");
  ASSERT_TRUE(run.Started());
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(run.Messages().empty());

  const WideString installed = Expanded(u"<Program Files>Plove Hello\\");
  EXPECT_TRUE(FileExists(installed + u"hello-app.exe"));
  EXPECT_EQ(FileBytes(installed + u"readme.txt"), FileBytes(HostPath(PLOVE_EXAMPLE_DIR "/files/readme.txt")));
  EXPECT_TRUE(FileExists(Expanded(u"<Start Programs>Plove Hello\\Plove Hello.lnk")));
  // Optional shortcuts and runs are neither offered nor done when silent.
  EXPECT_FALSE(FileExists(Expanded(u"<DeskTop>Plove Hello.lnk")));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, u"Software\\Plove Hello", u"InstallFolder"), installed);
  // The per-user value went through the relay to the first process.
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, u"Software\\Plove Hello", u"Greeting"),
            WideString(u"Hello from the installer"));
  const WideString entry = kUninstallKey + u"Plove Hello";
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, entry, u"DisplayVersion"), WideString(u"1.0.0"));
  EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, entry, u"UninstallString").IsEmpty());
  // The uninstaller copy is the installer's program without its payload.
  const std::string copy = FileBytes(UninstallerCopyPath(u"Plove Hello"));
  const MemorySource copySource(reinterpret_cast<const uint8_t*>(copy.data()), copy.size());
  EXPECT_EQ(copy.compare(0, 2, "MZ"), 0);
  EXPECT_LT(copy.size(), FileBytes(setup).size());
  EXPECT_FALSE(HoldsPayload(copySource));
  EXPECT_TRUE(FileExists(UninstallRecordPathFor(u"Plove Hello")));

  // The install ran in a second process that the first one started with
  // "--selfrun --IsElevated=" and its own arguments.
  ProbeReport report = ReadProbe(probe);
  EXPECT_NE(report.parent, 0u);
  EXPECT_NE(report.parent, run.Id());
  EXPECT_NE(report.parentCommandLine.Find(u" --selfrun --IsElevated=\""), 0) << report.parentCommandLine;
  EXPECT_TRUE(report.parentCommandLine.EndsWith(u"\" --silent")) << report.parentCommandLine;
  EXPECT_EQ(run.Leftovers(), std::vector<WideString>());
}

TEST(SilentInstall, InstallToOnTheCommandLineWins) {
  TestFolder folder;
  const WideString setup = PackSetup(folder, u"setup.exe", SmallProduct("Plove Moved", "<Program Files>Plove Moved\\"));
  SetupProcess run(setup, u"--silent --installto=\"C:\\Some Folder\\App\"");
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(FileExists(u"C:\\Some Folder\\App\\app.txt"));
  EXPECT_FALSE(FileExists(Expanded(u"<Program Files>Plove Moved")));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey + u"Plove Moved", u"InstallTo"),
            WideString(u"C:\\Some Folder\\App"));
  RemoveProduct(u"Plove Moved");
}

TEST(SilentInstall, FileInUseAsksForARestartUnlessTold) {
  TestFolder folder;
  const WideString setup = PackSetup(folder, u"setup.exe", SmallProduct("Plove Busy", "C:\\Plove Busy\\"));
  {
    SetupProcess first(setup, u"--silent");
    ASSERT_EQ(first.Wait(), 0u);
  }
  // The installed file held open: the new one waits for the next restart.
  ScopedFileHandle held(CreateFileW(L"C:\\Plove Busy\\app.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  struct Case {
    const WChar* arguments;
    bool windowsAsked;  // no test seam: Wine refuses every restart
    DWORD code;
    int restarts;
  };
  const Case cases[] = {{u"--silent --noautoreboot", false, 3010, 0},
                        {u"--silent", false, 1641, 1},
                        // A restart Windows refused is still pending, and the log says why.
                        {u"--silent", true, 3010, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(WideString(c.arguments).ToUtf8() + (c.windowsAsked ? " (Windows asked)" : ""));
    const WideString log = folder / u"busy.log";
    DeleteFileW(log.W());
    SetupStart start;
    start.restartLog = !c.windowsAsked;
    SetupProcess run(setup, c.arguments + (u" --log=\"" + log + u"\""), start);
    EXPECT_EQ(run.Wait(), c.code);
    EXPECT_EQ(run.RestartRequests(), c.restarts);
    EXPECT_TRUE(run.Messages().empty());
    const std::vector<InstallLogLine> failures = LinesOfKind(ReadInstallLog(log), u"failure");
    if (c.windowsAsked) {
      ASSERT_EQ(failures.size(), 1u);
      EXPECT_EQ(failures[0].detail, u"restart of Windows: " + ErrorDetail(WindowsErrorText(ERROR_CALL_NOT_IMPLEMENTED),
                                                                         ERROR_CALL_NOT_IMPLEMENTED));
    } else {
      EXPECT_TRUE(failures.empty());
    }
  }
  RemoveProduct(u"Plove Busy");
}

TEST(SilentInstall, DamagedInstallerFailsWithoutLeftovers) {
  TestFolder folder;
  PackSettings settings;
  std::vector<PackedMember> packed;
  std::string error;
  ASSERT_TRUE(CompressMembers(SmallProduct("Plove Damaged", "C:\\Plove Damaged\\"), settings, &packed, &error));
  std::vector<uint8_t> whole;
  ASSERT_EQ(WriteArchive(packed, whole), ArchiveWriteStatus::Ok);
  std::vector<ArchiveEntryInfo> directory;
  ASSERT_EQ(ReadArchiveDirectory(whole.data(), whole.size(), directory), ArchiveReadStatus::Ok);
  ASSERT_EQ(directory.size(), 2u);
  ASSERT_EQ(directory[1].name, "app.txt");

  struct Case {
    const char* what;
    void (*damage)(std::vector<uint8_t>& archive, const std::vector<ArchiveEntryInfo>& directory);
    bool foundAtOnce;  // by the first process, before any relaunch
  };
  const Case cases[] = {
      // One byte of the first member's packed data flipped after the archive
      // was laid out: the archive's own checksum no longer holds.
      {"packed byte flipped", [](std::vector<uint8_t>& archive, const std::vector<ArchiveEntryInfo>&) {
         archive[kArchiveReservedSize + 10] ^= 0x20;
       }, true},
      // The archive is whole (its checksum made to fit again), but one
      // member's stated sum does not match its bytes: only the member's own
      // check finds it, and the member must not be installed.
      {"wrong stated member sum", [](std::vector<uint8_t>& archive, const std::vector<ArchiveEntryInfo>& entries) {
         // The entry of app.txt: data offset, packed size, unpacked size, packed sum.
         const uint32_t directoryOffset = archive[archive.size() - 16] | archive[archive.size() - 15] << 8 |
                                          archive[archive.size() - 14] << 16 |
                                          static_cast<uint32_t>(archive[archive.size() - 13]) << 24;
         size_t entry = directoryOffset + kArchiveEntryHeaderSize + entries[0].name.size() + 1;
         archive[entry + 12] ^= 0x01;
         const uint32_t sum = ArchiveChecksum(archive.data(), archive.size() - kArchiveTrailerSize);
         for (int i = 0; i < 4; ++i) archive[archive.size() - kArchiveTrailerSize + i] = static_cast<uint8_t>(sum >> (8 * i));
       }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> archive = whole;
    c.damage(archive, directory);
    std::vector<uint8_t> stub = ReadHostFile(PLOVE_STUB_PATH), installer;
    ASSERT_TRUE(EmbedArchive(stub.data(), stub.size(), archive, &installer, &error)) << error;
    const WideString setup = folder / u"setup.exe";
    ASSERT_TRUE(WriteWholeFile(setup, installer.data(), installer.size()));

    SetupProcess run(setup, u"--silent");
    EXPECT_EQ(run.Wait(), 1603u);
    std::vector<TranscriptMessage> messages = run.Messages();
    EXPECT_FALSE(messages.empty());
    if (c.foundAtOnce && !messages.empty()) {
      EXPECT_EQ(messages[0].text, WideString(u"This installation is corrupted, please obtain a new copy."));
      EXPECT_EQ(messages[0].caption, WideString(u"Setup"));
      EXPECT_EQ(messages[0].flags, static_cast<UINT>(MB_ICONERROR));
      EXPECT_EQ(messages[0].processId, run.Id());
    }
    EXPECT_FALSE(FileExists(u"C:\\Plove Damaged\\app.txt"));
    EXPECT_TRUE(
        ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey + u"Plove Damaged", u"UninstallString").IsEmpty());
    EXPECT_EQ(run.Leftovers(), std::vector<WideString>());
  }
}

TEST(SilentInstall, ExitCodesOfTheOtherEndings) {
  // A requirement that cannot be met here is pretended by no case; what a
  // script can say is covered: a "QuestionYesNo" is never asked when
  // silent, so the install completes; a payload without a script fails.
  TestFolder folder;
  const WideString asks = PackSetup(folder, u"asks.exe",
                                    SmallProduct("Plove Asks", "C:\\Plove Asks\\",
                                                 "[Message]\r\nGo on?\r\nQuestionYesNo\r\n"));
  SetupProcess asked(asks, u"--silent");
  EXPECT_EQ(asked.Wait(), 0u);
  EXPECT_TRUE(asked.Messages().empty());
  EXPECT_EQ(asked.Leftovers(), std::vector<WideString>());

  const WideString empty = PackSetup(folder, u"empty.exe", {{"app.txt", Bytes("no script")}});
  SetupProcess noScript(empty, u"--silent");
  EXPECT_EQ(noScript.Wait(), 1603u);
  std::vector<TranscriptMessage> messages = noScript.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, WideString(u"Unable to extract a file from install, possibly your security "
                                         u"software is blocking the install."));
  EXPECT_EQ(noScript.Leftovers(), std::vector<WideString>());
  RemoveProduct(u"Plove Asks");
}

TEST(SilentInstall, InstallFolderMustBeAFullPath) {
  // The installer starts in this folder, inside the prefix: a folder taken
  // relative to it, or to its drive's root, would land there.
  TestFolder here;
  TestFolder folder;
  const WChar* const kRefused = u"The install folder '%s' is not a full path (such as C:\\Program Files\\App); "
                                u"nothing was installed.";
  struct Case {
    const char* product;
    const char* scriptFolder;
    const WChar* arguments;
    DWORD code;
    const WChar* refusedFolder;  // the folder the message names when the install is refused
  };
  const Case cases[] = {
      // An unset variable in a deployment script: the script's folder stays.
      {"Plove Empty", "C:\\Plove Empty\\", u"--silent --installto=", 0, nullptr},
      {"Plove Relative", "C:\\Plove Relative\\", u"--silent --installto=\"Sub Folder\\App\"", 0, nullptr},
      {"Plove Drive Relative", "C:\\Plove Drive Relative\\", u"--silent --installto=C:App", 0, nullptr},
      // Nothing to fall back on: refused.
      {"Plove Nowhere", "<Nowhere>Plove\\", u"--silent --installto=", 1603, u"<Nowhere>Plove\\"},
      {"Plove Rootless", "\\Plove Rootless\\", u"--silent", 1603, u"\\Plove Rootless\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.product);
    const WideString name = WideString::FromUtf8(c.product);
    const WideString setup = PackSetup(folder, name + u".exe", SmallProduct(c.product, c.scriptFolder));
    SetupStart start;
    start.currentFolder = here.Path();
    SetupProcess run(setup, c.arguments, start);
    EXPECT_EQ(run.Wait(), c.code);
    EXPECT_EQ(FileExists(u"C:\\" + name + u"\\app.txt"), c.code == 0);
    EXPECT_EQ(NamesIn(here.Path(), u"*", false), std::vector<WideString>());
    EXPECT_FALSE(FileExists(u"C:\\app.txt"));
    const std::vector<TranscriptMessage> messages = run.Messages();
    if (c.refusedFolder != nullptr) {
      EXPECT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages.empty() ? WideString() : messages[0].text, WideString::Format(kRefused, c.refusedFolder));
      EXPECT_EQ(messages.empty() ? WideString() : messages[0].caption, name + u" Installer");
      EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey + name, u"UninstallString").IsEmpty());
    } else {
      EXPECT_TRUE(messages.empty());
      RemoveProduct(name);
    }
  }
}

TEST(SilentInstall, ElevatedCopyThatEndsWithoutItsResultFails) {
  TestFolder folder;
  const WideString probe = folder / u"probe.txt";
  // The probe runs in the elevated copy, half way, and waits there.
  const std::string extra = "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probe.ToUtf8() +
                            "\" 0 8000\r\n\r\n[CopyFile]\r\nlate.txt\r\n<Destination>late.txt\r\n";
  std::vector<PackSource> members = SmallProduct("Plove Killed", "C:\\Plove Killed\\", extra);
  members.push_back({"late.txt", Bytes("late")});
  members.push_back({"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)});
  const WideString setup = PackSetup(folder, u"setup.exe", members);
  // Ended from outside with a code that reads as success, and as a crash does.
  for (DWORD killedWith : {0u, 0xC0000005u}) {
    SCOPED_TRACE(killedWith);
    DeleteFileW(probe.W());
    const WideString log = folder / u"killed.log";
    DeleteFileW(log.W());
    SetupProcess run(setup, u"--silent --log=\"" + log + u"\"");
    ASSERT_TRUE(WaitForFileOf(probe, 60000));
    const ProbeReport report = ReadProbe(probe);
    ASSERT_NE(report.parent, run.Id());
    ScopedKernelHandle copy(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, report.parent));
    ASSERT_TRUE(copy);
    ASSERT_TRUE(TerminateProcess(copy.Get(), killedWith));
    EXPECT_EQ(run.Wait(), 1603u);
    EXPECT_FALSE(FileExists(u"C:\\Plove Killed\\late.txt"));
    ExpectLogLines(ReadInstallLog(log),
                   {{u"first process", u"failure",
                     WideString::Format(u"the elevated copy ended without handing over its result (process exit code "
                                        u"%u, 0x%08X): exit code 1603",
                                        killedWith, killedWith)}});
  }
  RemoveProduct(u"Plove Killed");
}

TEST(SilentInstall, RunsAtTheSameTimeKeepTheirOwnFiles) {
  TestFolder folder;
  // Another run's probe of administrator rights, held open for it alone.
  const WideString otherProbe = Expanded(u"<Program Files>PloveInstaller.TMP");
  ScopedFileHandle held(CreateFileW(otherProbe.W(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  ASSERT_TRUE(held);
  const WideString probe = folder / u"probe.txt";
  const std::string extra = "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + probe.ToUtf8() + "\" 0 3000\r\n\r\n";
  std::vector<PackSource> members = SmallProduct("Plove Parallel", "C:\\Plove Parallel\\", extra);
  members.push_back({"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)});
  const WideString setup = PackSetup(folder, u"setup.exe", members);
  SetupProcess run(setup, u"--silent");
  ASSERT_TRUE(WaitForFileOf(probe, 60000));
  // While the copy runs, its relay file is kept (empty: no command in
  // flight), so that no other run can be given its name.
  const WideString line = ReadProbe(probe).parentCommandLine;
  const int at = line.Find(u"--IsElevated=\"");
  ASSERT_NE(at, 0) << line;
  const int from = at + 14;
  const WideString relay = line.Mid(from, line.FindChar(u'"', from) - 1);
  EXPECT_TRUE(FileExists(relay)) << relay;
  EXPECT_EQ(FileBytes(relay), std::string());
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(run.Messages().empty());
  EXPECT_TRUE(FileExists(u"C:\\Plove Parallel\\app.txt"));
  EXPECT_EQ(run.Leftovers(), std::vector<WideString>());
  RemoveProduct(u"Plove Parallel");
}

TEST(SilentInstall, ASilentRunAnswersItsOwnQuestions) {
  // No test seam for the messages: the run answers as it does for an
  // administrator's script. A folder where the file should go makes the
  // copy ask Retry/Cancel, which must end the install, not retry for ever.
  TestFolder folder;
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Plove Unanswered", nullptr));
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Plove Unanswered\\app.txt", nullptr));
  const WideString setup = PackSetup(folder, u"setup.exe", SmallProduct("Plove Unanswered", "C:\\Plove Unanswered\\"));
  const WideString log = folder / u"unanswered.log";
  SetupStart start;
  start.transcript = false;
  SetupProcess run(setup, u"--silent --log=\"" + log + u"\"", start);
  EXPECT_EQ(run.Wait(60000), 1603u);
  ExpectLogLines(ReadInstallLog(log),
                 {{u"elevated copy", u"message", u"Cannot install 'C:\\Plove Unanswered\\app.txt', disk may be full. "
                                                 u"-> Cancel (unattended)"}});
}
