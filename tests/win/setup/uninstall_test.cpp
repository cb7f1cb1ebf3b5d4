// The uninstaller as Windows and package managers start it: products are
// installed by the real installer, then removed by running the commands of
// their Apps & Features entry.

#include <gtest/gtest.h>

#include <memory>

#include "engine/win/folder_macros.h"
#include "engine/win/shared_file_count.h"
#include "engine/win/uninstall_record.h"
#include "pending_restart.h"
#include "resources/resource_ids.h"
#include "setup_harness.h"
#include "util/path_text.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "window_driver.h"

namespace {

std::vector<PackSource> Product(const std::string& name, const std::string& version, const std::string& folder,
                                const std::string& extra = std::string(),
                                const std::vector<PackSource>& extraMembers = {}) {
  const std::string script =
      "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n" + version + "\r\n[Install To]\r\n" + folder +
      "\r\n[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n[CopyFile]\r\nshared.txt\r\n<Destination>shared.txt\r\n"
      "[CreateIcon]\r\n<Destination>app.txt\r\n<Destination>" + name + ".lnk\r\n\r\n\r\n"
      "[Registry]\r\nHKLM\r\nSoftware\\" + name + "\r\nSTRING\r\nVersion\r\n" + version + "\r\n" + extra;
  std::vector<PackSource> members{{"setup.dat", Bytes(script)},
                                  {"app.txt", Bytes(name + " " + version + "\r\n")},
                                  {"shared.txt", Bytes("shared\r\n")}};
  members.insert(members.end(), extraMembers.begin(), extraMembers.end());
  return members;
}

std::string Narrow(const WideString& text) { return text.ToUtf8(); }

// Installs silently and returns the product's entry key.
WideString Install(const TestFolder& folder, const std::vector<PackSource>& members, const WideString& name) {
  const WideString setup = PackSetup(folder, name + u"-setup.exe", members);
  SetupProcess run(setup, u"--silent");
  EXPECT_EQ(run.Wait(), 0u);
  return UninstallKeyPath(name);
}

WideString EntryValue(const WideString& name, const WChar* value) {
  return ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(name), WideString(value));
}

// Splits a command line as Windows does for the program part: the quoted
// program, then the arguments.
SetupProcess* RunCommand(const WideString& commandLine, const std::vector<int>& answers = {}) {
  const int close = commandLine.FindChar(u'"', 2);
  const WideString program = commandLine.Mid(2, close - 1);
  WideString arguments = commandLine.From(close + 1);
  arguments.TrimLeadingSpaces();
  return new SetupProcess(program, arguments, answers);
}

// Where the installer put the product's uninstaller and record: the
// uninstaller folder follows the product's 32-bit or 64-bit choice, so it is
// read from the entry.
WideString CopyOf(const WideString& name) { return EntryValue(name, u"DisplayIcon"); }
WideString RecordOf(const WideString& name) { return UninstallRecordArgument(EntryValue(name, u"UninstallString")); }

// A restart requested by an earlier uninstall stays signalled while any
// process holds the event (this one does): clear it between scenarios.
void ForgetRestartRequests() {
  ScopedKernelHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"evtReRunInstallAsUninstallReboot"));
  if (event) ResetEvent(event.Get());
}

bool ProductGone(const WideString& name, const WideString& folder) {
  return !FileExists(folder + u"app.txt") && !FileExists(folder + name + u".lnk") &&
         EntryValue(name, u"UninstallString").IsEmpty() &&
         ReadRegistryString(HKEY_LOCAL_MACHINE, u"Software\\" + name, u"Version").IsEmpty();
}

}  // namespace

TEST(Uninstall, UninstallStringWithItsWindow) {
  TestFolder folder;
  Install(folder, Product("Plove Gone", "1.0", "C:\\Plove Gone\\"), u"Plove Gone");
  const WideString uninstaller = CopyOf(u"Plove Gone"), record = RecordOf(u"Plove Gone");
  const WideString command = EntryValue(u"Plove Gone", u"UninstallString");
  ASSERT_FALSE(command.IsEmpty());
  std::unique_ptr<SetupProcess> run(RunCommand(command));
  HWND window = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (window = driver::FindDialogWithControl(IDC_PROGRESS, run->Id())); },
                              30000));
  EXPECT_EQ(driver::TextOf(window), WideString(u"UnInstaller"));
  EXPECT_EQ(driver::ControlText(window, IDOK), WideString(u"Uninstall"));
  SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(driver::WaitFor([&] { return driver::ControlText(window, IDCANCEL) == WideString(u"Finish"); }, 30000));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));
  SendMessageW(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_EQ(run->Wait(), 0u);
  EXPECT_TRUE(run->Messages().empty());
  EXPECT_TRUE(ProductGone(u"Plove Gone", u"C:\\Plove Gone\\"));
  EXPECT_FALSE(FileExists(u"C:\\Plove Gone"));  // emptied folders go
  EXPECT_FALSE(FileExists(record));
  // The uninstaller cannot delete itself while it runs: at the next restart.
  EXPECT_TRUE(PendingRenameSources().Contains(uninstaller, true));
}

TEST(Uninstall, CancelOrCloseRemovesNothing) {
  TestFolder folder;
  Install(folder, Product("Plove Kept", "1.0", "C:\\Plove Kept\\"), u"Plove Kept");
  const WideString command = EntryValue(u"Plove Kept", u"UninstallString");
  for (UINT close : {0u, static_cast<UINT>(WM_CLOSE)}) {
    std::unique_ptr<SetupProcess> run(RunCommand(command));
    HWND window = nullptr;
    ASSERT_TRUE(driver::WaitFor([&] { return (window = driver::FindDialogWithControl(IDC_PROGRESS, run->Id())); },
                                30000));
    if (close == 0)
      SendMessageW(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
    else
      PostMessageW(window, close, 0, 0);
    EXPECT_EQ(run->Wait(), 1602u) << close;
    EXPECT_TRUE(FileExists(u"C:\\Plove Kept\\app.txt")) << close;
    EXPECT_EQ(EntryValue(u"Plove Kept", u"UninstallString"), command) << close;
  }
}

TEST(Uninstall, QuietUninstallStringWaitsForNobody) {
  TestFolder folder;
  // An uninstall action that takes a while, so that a window would be seen.
  const std::string action = "[CopyFile]\r\nprobe.exe\r\n<Destination>probe.exe\r\n[UninstallAction]\r\n"
                             "<Destination>probe.exe\r\n\"" + Narrow(folder / u"action.txt") + "\" 0 1500\r\n";
  Install(folder,
          Product("Plove Quiet", "1.0", "C:\\Plove Quiet\\", action, {{"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}}),
          u"Plove Quiet");
  const WideString quiet = EntryValue(u"Plove Quiet", u"QuietUninstallString");
  EXPECT_EQ(quiet, WideString::Format(u"\"%s\" --silent --noautoreboot --uninstall=\"%s\"", CopyOf(u"Plove Quiet"),
                                      RecordOf(u"Plove Quiet")));
  EXPECT_EQ(EntryValue(u"Plove Quiet", u"InstallLocation"), WideString(u"C:\\Plove Quiet\\"));
  std::unique_ptr<SetupProcess> run(RunCommand(quiet));
  bool windowSeen = false;
  while (run->Running()) {
    windowSeen = windowSeen || !driver::TopWindowsOf(run->Id()).empty();
    driver::Pump(20);
  }
  EXPECT_EQ(run->Wait(60000), 0u);
  EXPECT_FALSE(windowSeen);
  EXPECT_TRUE(FileExists(folder / u"action.txt"));
  EXPECT_EQ(run->RestartRequests(), 0);
  EXPECT_TRUE(ProductGone(u"Plove Quiet", u"C:\\Plove Quiet\\"));

  // A file of the product held open: removed at the restart, 3010, and the
  // restart is left to the caller - without saying that one was started.
  ScopedKernelHandle restartEvent(CreateEventW(nullptr, TRUE, FALSE, L"evtReRunInstallAsUninstallReboot"));
  ASSERT_TRUE(restartEvent);
  ResetEvent(restartEvent.Get());
  Install(folder, Product("Plove Quiet", "1.0", "C:\\Plove Quiet\\"), u"Plove Quiet");
  {
    ScopedFileHandle held(CreateFileW(L"C:\\Plove Quiet\\app.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    std::unique_ptr<SetupProcess> busy(RunCommand(EntryValue(u"Plove Quiet", u"QuietUninstallString")));
    EXPECT_EQ(busy->Wait(60000), 3010u);
    EXPECT_EQ(busy->RestartRequests(), 0);
    EXPECT_TRUE(busy->Messages().empty());
  }
  EXPECT_EQ(WaitForSingleObject(restartEvent.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(FileExists(u"C:\\Plove Quiet\\app.txt"));
  ASSERT_TRUE(RestartWinePrefix());
  EXPECT_FALSE(FileExists(u"C:\\Plove Quiet\\app.txt"));
}

TEST(Uninstall, UpgradeRemovesTheOldVersionFirst) {
  TestFolder folder;
  ForgetRestartRequests();
  Install(folder, Product("Plove Up", "1.0", "C:\\Plove Up\\"), u"Plove Up");
  const WideString setup2 = PackSetup(folder, u"up2.exe", Product("Plove Up", "2.0", "C:\\Plove Up\\"));
  // Interactive: the removal offer is answered Yes; v1's uninstaller then
  // runs by itself (started with --sayonrebootruninst) and closes.
  SetupProcess run(setup2, u"", {IDYES});
  HWND wizard = nullptr;
  ASSERT_TRUE(driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; }, 30000));
  SendMessageW(GetDlgItem(wizard, IDC_INSTALL), BM_CLICK, 0, 0);
  ASSERT_TRUE(driver::WaitFor(
      [&] { return driver::ControlText(wizard, IDC_CANCEL_INSTALL) == WideString(u"Finish"); }, 60000));
  SendMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
  EXPECT_EQ(run.Wait(), 0u);
  std::vector<TranscriptMessage> messages = run.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.Find(u"Setup has detected an existing version of Plove Up."), 0);
  EXPECT_EQ(EntryValue(u"Plove Up", u"DisplayVersion"), WideString(u"2.0"));
  EXPECT_EQ(FileBytes(u"C:\\Plove Up\\app.txt"), "Plove Up 2.0\r\n");
  StringList entries;
  EnumerateSubkeys(HKEY_LOCAL_MACHINE, WideString(kUninstallKeyParent), entries);
  int count = 0;
  for (int i = 0; i < entries.Count(); ++i) count += entries.Item(i).StartsWith(u"Plove Up") ? 1 : 0;
  EXPECT_EQ(count, 1);
}

TEST(Uninstall, SharedFilesStayUntilTheLastProductGoes) {
  TestFolder folder;
  // A product with a program that has no 64-bit twin counts as 32-bit, one
  // without programs as 64-bit: their records are in different folders.
  const struct {
    const char* first;
    const char* second;
    bool first64Bit;
    bool second64Bit;
  } cases[] = {
      {"Plove One", "Plove Two", true, true},
      {"Plove Three", "Plove Four", true, false},
      {"Plove Five", "Plove Six", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    const std::string tool = "[CopyFile]\r\ntool.exe\r\n<Destination>tool.exe\r\n";
    const std::vector<PackSource> toolMember = {{"tool.exe", Bytes("tool")}};
    Install(folder,
            Product(c.first, "1.0", "C:\\Plove Shared\\", c.first64Bit ? "" : tool,
                    c.first64Bit ? std::vector<PackSource>() : toolMember),
            WideString::FromUtf8(c.first));
    // The second product places its own app file under another name.
    std::vector<PackSource> two = Product(c.second, "1.0", "C:\\Plove Shared\\", c.second64Bit ? "" : tool,
                                          c.second64Bit ? std::vector<PackSource>() : toolMember);
    std::string script(two[0].data.begin(), two[0].data.end());
    const std::string from = "<Destination>app.txt", to = "<Destination>two.txt";
    script.replace(script.find(from), from.size(), to);
    two[0].data = Bytes(script);
    Install(folder, two, WideString::FromUtf8(c.second));
    const WideString first = WideString::FromUtf8(c.first), second = WideString::FromUtf8(c.second);
    ASSERT_EQ(RecordOf(first).Find(u"C:\\Program Files\\") == 1, c.first64Bit);
    ASSERT_EQ(RecordOf(second).Find(u"C:\\Program Files\\") == 1, c.second64Bit);

    std::unique_ptr<SetupProcess> one(RunCommand(EntryValue(first, u"QuietUninstallString")));
    EXPECT_EQ(one->Wait(60000), 0u);
    EXPECT_FALSE(FileExists(u"C:\\Plove Shared\\app.txt"));
    EXPECT_TRUE(FileExists(u"C:\\Plove Shared\\shared.txt"));  // the second product still lists it
    EXPECT_TRUE(FileExists(u"C:\\Plove Shared\\two.txt"));

    std::unique_ptr<SetupProcess> other(RunCommand(EntryValue(second, u"QuietUninstallString")));
    EXPECT_EQ(other->Wait(60000), 0u);
    EXPECT_FALSE(FileExists(u"C:\\Plove Shared\\shared.txt"));
    EXPECT_FALSE(FileExists(u"C:\\Plove Shared"));
  }

  // Installed as 32-bit, then again as 64-bit: the record that the first
  // install left in the other folder protects nothing of the product.
  Install(folder,
          Product("Plove Seven", "1.0", "C:\\Plove Shared\\", "[CopyFile]\r\ntool.exe\r\n<Destination>tool.exe\r\n",
                  {{"tool.exe", Bytes("tool")}}),
          u"Plove Seven");
  const WideString stale = RecordOf(u"Plove Seven");
  // "<Program Files>" is the 64-bit folder for it, at uninstall too.
  Install(folder,
          Product("Plove Seven", "2.0", "C:\\Plove Shared\\",
                  "[CopyFile]\r\nshared.txt\r\n<Program Files>Plove Seven\\notes.txt\r\n"),
          u"Plove Seven");
  ASSERT_TRUE(FileExists(u"C:\\Program Files\\Plove Seven\\notes.txt"));
  ASSERT_FALSE(SamePath(RecordOf(u"Plove Seven"), stale));
  ASSERT_TRUE(FileExists(stale));
  std::unique_ptr<SetupProcess> again(RunCommand(EntryValue(u"Plove Seven", u"QuietUninstallString")));
  EXPECT_EQ(again->Wait(60000), 0u);
  EXPECT_FALSE(FileExists(u"C:\\Plove Shared\\app.txt"));
  EXPECT_FALSE(FileExists(u"C:\\Plove Shared\\shared.txt"));
  EXPECT_FALSE(FileExists(u"C:\\Program Files\\Plove Seven"));
}

TEST(Uninstall, CommandLineForms) {
  TestFolder folder;
  struct Case {
    const char* name;
    const WChar* form;  // %s: the program, %s: the record
    bool installer;     // the program is the product's installer, not its uninstaller copy
    DWORD code;
  };
  const Case cases[] = {
      // "<uninstall>" wins over "--uninstall=" (which here names nothing).
      {"Plove Form1", u"\"%s\" --silent --uninstall=\"C:\\none.dat\" <uninstall>\"%s\"", false, 0},
      // "--sayonrebootruninst" before the record still finds it.
      {"Plove Form2", u"\"%s\" --silent --sayonrebootruninst --uninstall=\"%s\"", false, 0},
      // Options after the record, or a trailing blank, are not part of it.
      {"Plove Form3", u"\"%s\" --uninstall=\"%s\" --silent", false, 0},
      {"Plove Form4", u"\"%s\" --silent --uninstall=\"%s\" ", false, 0},
      // The installer started as uninstaller does not delete itself.
      {"Plove Form5", u"\"%s\" --silent --uninstall=\"%s\"", true, 0},
      // A record that is not there: nothing changes, and that is a failure.
      {"Plove Form6", u"\"%s\" --silent --uninstall=\"C:\\Plove Form6\\PloveUninstall-Plove Form6.dat\"%.0s", false,
       1603},
  };
  for (const Case& c : cases) {
    const WideString name = WideString::FromUtf8(c.name);
    Install(folder, Product(c.name, "1.0", std::string("C:\\") + c.name + "\\"), name);
    const WideString program = c.installer ? folder / (name + u"-setup.exe") : CopyOf(name);
    const WideString record = RecordOf(name);
    const WideString command = WideString::Format(c.form, program, record);
    std::unique_ptr<SetupProcess> run(RunCommand(command));
    EXPECT_EQ(run->Wait(60000), c.code) << c.name;
    const bool removed = c.code == 0;
    EXPECT_EQ(EntryValue(name, u"UninstallString").IsEmpty(), removed) << c.name;
    EXPECT_EQ(FileExists(u"C:\\" + name + u"\\app.txt"), !removed) << c.name;
    EXPECT_EQ(FileExists(record), !removed) << c.name;
    EXPECT_EQ(PendingRenameSources().Contains(program, true), removed && !c.installer) << c.name;
    const std::vector<TranscriptMessage> messages = run->Messages();
    if (removed) {
      EXPECT_TRUE(messages.empty()) << c.name;
    } else {
      ASSERT_EQ(messages.size(), 1u) << c.name;
      EXPECT_EQ(messages[0].text, u"Unable to open the uninstall record 'C:\\Plove Form6\\PloveUninstall-Plove "
                                  u"Form6.dat', nothing has been removed.");
      EXPECT_EQ(messages[0].caption, WideString(u"UnInstaller"));
      EXPECT_EQ(messages[0].flags, static_cast<UINT>(MB_ICONERROR));
    }
  }
}

namespace {

bool SharedCountExists(const WideString& path) {
  ScopedRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey).W(), 0, KEY_QUERY_VALUE | RegistryViewFlag(),
                    key.Receive()) != ERROR_SUCCESS)
    return false;
  return RegQueryValueExW(key.Get(), path.W(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace

// The uninstall removes what the install placed, not the newer files it
// found and kept; shared system files go only when no program counts them.
TEST(Uninstall, KeptAndCountedFilesStay) {
  TestFolder folder;
  const std::vector<uint8_t> v1 = ReadHostFile(PLOVE_VERSION1_DLL_PATH), v2 = ReadHostFile(PLOVE_VERSION2_DLL_PATH);
  WideString system(u"<System>");
  ExpandFolderMacros(system);
  const WideString counted = system + u"plove-counted.dll", alone = system + u"plove-alone.dll";
  // Another program's newer files, one of them shared and counted once.
  ASSERT_TRUE(CreateDirectoryW(L"C:\\Plove Keep", nullptr));
  for (const WideString& path : {WideString(u"C:\\Plove Keep\\lib.dll"), WideString(u"C:\\Plove Keep\\late.dll"), counted})
    ASSERT_TRUE(WriteWholeFile(path, v2.data(), v2.size()));
  const DWORD one = 1;
  ASSERT_TRUE(WriteRegistryValue(HKEY_LOCAL_MACHINE, WideString(kSharedDllsKey), counted, REG_DWORD, &one, sizeof one));

  // Installed twice: the reinstall brings an older own.dll, which the
  // version rule keeps, yet it is what the first install placed. The
  // program run writes the record before late.dll is kept.
  const std::string report = Narrow(folder / u"run.txt");
  for (const char* ownMember : {"v2.dll", "v1.dll"}) {
    const std::string script = std::string(
        "[Project Name]\r\nPlove Keep\r\n[Install To]\r\nC:\\Plove Keep\\\r\n"
        "[CopyFile]\r\nv1.dll\r\n<Destination>lib.dll\r\n[CopyFile]\r\n") + ownMember + "\r\n<Destination>own.dll\r\n"
        "[CopyFile]\r\nv1.dll\r\n<System>plove-counted.dll\r\n[CopyFile]\r\nv1.dll\r\n<System>plove-alone.dll\r\n"
        "[CopyFile]\r\nprobe.exe\r\n<Destination>probe.exe\r\n"
        "[RunAndWaitFile]\r\n<Destination>probe.exe\r\n\"" + report + "\"\r\n\r\n"
        "[CopyFile]\r\nv1.dll\r\n<Destination>late.dll\r\n";
    Install(folder, {{"setup.dat", Bytes(script)}, {"v1.dll", v1}, {"v2.dll", v2},
                     {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}}, u"Plove Keep");
  }
  EXPECT_EQ(SharedFileCount(counted), 2u);  // once for this product, not once per install
  EXPECT_EQ(SharedFileCount(alone), 1u);
  EXPECT_EQ(FileBytes(u"C:\\Plove Keep\\own.dll"), FileBytes(HostPath(PLOVE_VERSION2_DLL_PATH)));
  // The marks follow their entries, as lines that older readers skip.
  const std::string record = FileBytes(RecordOf(u"Plove Keep"));
  for (const char* entry : {"<Destination>lib.dll\r\n[KeptExistingFile]\r\n[CopyFile]\r\nv1.dll\r\n<Destination>own.dll\r\n[CopyFile]",
                            "<System>plove-counted.dll\r\n[KeptExistingFile]\r\n[CountedSharedFile]\r\n[CopyFile]",
                            "<System>plove-alone.dll\r\n[CountedSharedFile]\r\n[CopyFile]",
                            "<Destination>late.dll\r\n[KeptExistingFile]\r\n"})
    EXPECT_NE(record.find(entry), std::string::npos) << entry << "\n" << record;

  std::unique_ptr<SetupProcess> run(RunCommand(EntryValue(u"Plove Keep", u"QuietUninstallString")));
  EXPECT_EQ(run->Wait(60000), 0u);
  for (const WChar* kept : {u"C:\\Plove Keep\\lib.dll", u"C:\\Plove Keep\\late.dll"})
    EXPECT_EQ(FileBytes(kept), FileBytes(HostPath(PLOVE_VERSION2_DLL_PATH))) << WideString(kept).ToUtf8();
  EXPECT_FALSE(FileExists(u"C:\\Plove Keep\\own.dll"));
  EXPECT_FALSE(FileExists(u"C:\\Plove Keep\\probe.exe"));
  EXPECT_TRUE(FileExists(counted));
  EXPECT_EQ(SharedFileCount(counted), 1u);
  EXPECT_FALSE(FileExists(alone));
  EXPECT_FALSE(SharedCountExists(alone));
  EXPECT_TRUE(EntryValue(u"Plove Keep", u"UninstallString").IsEmpty());
}
