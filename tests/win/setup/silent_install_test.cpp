// The real installer started with "--silent", as an administrator's script
// or a package manager starts it: the first process relaunches itself,
// serves the relay, and passes the elevated copy's exit code on; nothing
// waits for a person on any path.

#include <gtest/gtest.h>

#include "engine/win/folder_macros.h"
#include "engine/win/uninstall_record.h"
#include "packer/container_members.h"
#include "payload/archive_format.h"
#include "setup_harness.h"
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
    DWORD code;
    int restarts;
  };
  const Case cases[] = {{u"--silent --noautoreboot", 3010, 0}, {u"--silent", 1641, 1}};
  for (const Case& c : cases) {
    SetupProcess run(setup, c.arguments);
    EXPECT_EQ(run.Wait(), c.code) << WideString(c.arguments).ToUtf8();
    EXPECT_EQ(run.RestartRequests(), c.restarts) << WideString(c.arguments).ToUtf8();
    EXPECT_TRUE(run.Messages().empty());
  }
  RemoveProduct(u"Plove Busy");
}

TEST(SilentInstall, DamagedInstallerFailsWithoutLeftovers) {
  TestFolder folder;
  // One byte of the first member's packed data flipped after the archive
  // was laid out.
  PackSettings settings;
  std::vector<PackedMember> packed;
  std::string error;
  ASSERT_TRUE(CompressMembers(SmallProduct("Plove Damaged", "C:\\Plove Damaged\\"), settings, &packed, &error));
  std::vector<uint8_t> archive;
  ASSERT_EQ(WriteArchive(packed, archive), ArchiveWriteStatus::Ok);
  archive[kArchiveReservedSize + 10] ^= 0x20;
  std::vector<uint8_t> stub = ReadHostFile(PLOVE_STUB_PATH), installer;
  ASSERT_TRUE(EmbedArchive(stub.data(), stub.size(), archive, &installer, &error)) << error;
  const WideString setup = folder / u"setup.exe";
  ASSERT_TRUE(WriteWholeFile(setup, installer.data(), installer.size()));

  SetupProcess run(setup, u"--silent");
  EXPECT_EQ(run.Wait(), 1603u);
  std::vector<TranscriptMessage> messages = run.Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0].text, WideString(u"This installation is corrupted, please obtain a new copy."));
  EXPECT_EQ(messages[0].caption, WideString(u"Setup"));
  EXPECT_EQ(messages[0].flags, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(messages[0].processId, run.Id());  // found before any relaunch
  EXPECT_FALSE(FileExists(u"C:\\Plove Damaged"));
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, kUninstallKey + u"Plove Damaged", u"UninstallString").IsEmpty());
  EXPECT_EQ(run.Leftovers(), std::vector<WideString>());
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
