// Installs for the current user alone: the real installer of a "user" or
// "either" script, silent and through the wizard, with the prefix compared
// before and after (prefix_snapshot.h). Under Wine every process is an
// administrator, so "never elevated" is read from the install log: no
// elevated copy wrote a line.

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "engine/win/uninstall_record.h"
#include "install_log_reading.h"
#include "prefix_snapshot.h"
#include "resources/resource_ids.h"
#include "setup_harness.h"
#include "util/win/registry.h"
#include "window_driver.h"
// windows_api.h first
#include <shlobj.h>

namespace {

// A product of one file in the install folder and one in <Common Files>, a
// Start-menu shortcut, and registry lines for the product's root (HKA), the
// user's classes (HKCR) and the machine (HKLM).
std::vector<PackSource> Product(const std::string& name, const std::string& scope,
                                const std::string& extra = std::string(), const std::string& version = "1.0") {
  const std::string script =
      "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n" + version + "\r\n[InstallScope]\r\n" + scope +
      "\r\n[Install To]\r\n<Program Files>" + name + "\r\n[UninstallSettings]\r\nPlove Tests\r\n"
      "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n"
      "[CopyFile]\r\ncommon.txt\r\n<Common Files>" + name + "\\common.txt\r\n"
      "[CreateIcon]\r\n<Destination>app.txt\r\n<Start Programs>" + name + ".lnk\r\n\r\n\r\n"
      "[Registry]\r\nHKA\r\nSoftware\\" + name + "\r\nSTRING\r\nWhere\r\n<Destination>\r\n"
      "[Registry]\r\nHKCR\r\n." + name + "\r\nSTRING\r\n\r\n" + name + ".File\r\n" + extra;
  return {{"setup.dat", Bytes(script)},
          {"app.txt", Bytes("app " + version + "\r\n")},
          {"common.txt", Bytes("common\r\n")}};
}

const std::string kMachineLines =
    "[Registry]\r\nHKLM\r\nSoftware\\Plove Machine Line\r\nSTRING\r\nSet\r\n1\r\n"
    "[CopyFile]\r\ncommon.txt\r\n<Windows>plove-user-scope.txt\r\n";

WideString Entry(HKEY root, const WideString& name, const WChar* value) {
  return ReadRegistryString(root, UninstallKeyPath(name), WideString(value));
}

// The user's program folder ("%LOCALAPPDATA%\Programs\").
WideString UserPrograms() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return WideString(path) + u"\\Programs\\";
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The prefix's differences from before that expected does not allow.
template <typename Allowed>
std::vector<std::string> ChangesExcept(const PrefixSnapshot& before, Allowed expected) {
  std::vector<std::string> found;
  for (const std::string& difference : DifferencesFrom(before, TakePrefixSnapshot())) {
    const std::string lower = Lower(difference);
    if (!expected(lower)) found.push_back(difference);
  }
  return found;
}

// What Wine adds for its own sake the first time a program runs.
bool WineOwn(const std::string& lower) {
  return lower.find("hkcu\\console") != std::string::npos || lower.find("hkcu\\software\\wine") != std::string::npos;
}

// The user's profile and hive, where a per-user install may write.
bool InTheUsersOwn(const std::string& lower) {
  return lower.find("hkcu\\") != std::string::npos || lower.find("c:\\users\\") != std::string::npos;
}

// What stays after a per-user uninstall: its own file, until the RunOnce
// value removes it at the next logon, keys emptied of their values, and the
// user's program folder itself.
bool LeftByUninstall(const std::string& lower) {
  return WineOwn(lower) || lower.find("ploveuninstall") != std::string::npos ||
         lower.find("runonce") != std::string::npos || lower.find("added key") == 0 ||
         lower == "added folder " + Lower(UserPrograms().ToUtf8()).substr(0, UserPrograms().Length() - 1);
}

bool LoggedByElevatedCopy(const std::vector<InstallLogLine>& log) {
  return std::any_of(log.begin(), log.end(),
                     [](const InstallLogLine& line) { return line.role.Find(u"elevated") != 0; });
}

// The wizard's install went to root's entry (HKLM or HKCU) and not the
// other's, by an elevated copy or by the first process alone; its
// uninstaller then removes it.
void ExpectInstalledUnder(HKEY root, const WideString& name, const WideString& log) {
  const HKEY other = root == HKEY_CURRENT_USER ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  EXPECT_FALSE(Entry(root, name, u"UninstallString").IsEmpty());
  EXPECT_TRUE(Entry(other, name, u"UninstallString").IsEmpty());
  EXPECT_EQ(LoggedByElevatedCopy(ReadInstallLog(log)), root == HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RunEntryCommand(Entry(root, name, u"QuietUninstallString")), 0u);
}

bool LogMentions(const std::vector<InstallLogLine>& log, const WChar* kind, const WChar* part) {
  return std::any_of(log.begin(), log.end(), [&](const InstallLogLine& line) {
    return line.kind.Equals(WideString(kind)) && line.detail.Find(WideString(part)) != 0;
  });
}

}  // namespace

TEST(UserScope, UserScriptStaysInTheProfileAndHive) {
  TestFolder folder;
  const WideString name(u"Plove Mine");
  const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Mine", "user"));
  const PrefixSnapshot before = TakePrefixSnapshot();
  const WideString log = folder / u"install.log";
  SetupProcess run(setup, u"--silent --log=\"" + log + u"\"");
  ASSERT_EQ(run.Wait(), 0u);

  const WideString programs = UserPrograms();
  EXPECT_EQ(FileBytes(programs + u"Plove Mine\\app.txt"), "app 1.0\r\n");
  EXPECT_EQ(FileBytes(programs + u"Common\\Plove Mine\\common.txt"), "common\r\n");
  EXPECT_TRUE(Entry(HKEY_LOCAL_MACHINE, name, u"UninstallString").IsEmpty());
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, WideString(u"Software\\Plove Mine"), WideString(u"Where")),
            programs + u"Plove Mine\\");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, WideString(u"Software\\Classes\\.Plove Mine"), WideString()),
            WideString(u"Plove Mine.File"));
  const std::vector<std::string> machine = ChangesExcept(before, InTheUsersOwn);
  EXPECT_TRUE(machine.empty()) << DifferencesText(machine);
  EXPECT_FALSE(LoggedByElevatedCopy(ReadInstallLog(log)));

  const WideString quiet = Entry(HKEY_CURRENT_USER, name, u"QuietUninstallString");
  ASSERT_FALSE(quiet.IsEmpty());
  EXPECT_NE(quiet.Find(u"AppData"), 0) << quiet.ToUtf8();
  EXPECT_EQ(RunEntryCommand(quiet + u" --log=\"" + log + u"\""), 0u);
  EXPECT_FALSE(FileExists(programs + u"Plove Mine\\app.txt"));
  EXPECT_TRUE(Entry(HKEY_CURRENT_USER, name, u"UninstallString").IsEmpty());
  EXPECT_FALSE(LoggedByElevatedCopy(ReadInstallLog(log)));
  const std::vector<std::string> left = ChangesExcept(before, LeftByUninstall);
  EXPECT_TRUE(left.empty()) << DifferencesText(left);
}

// Command lines the script does not allow end before anything is done.
TEST(UserScope, RefusedCommandLines) {
  struct Case {
    const char* scope;
    const WChar* arguments;
    const WChar* logged;
  };
  const Case cases[] = {
      {"machine", u"--silent --currentuser", u"installs for all users only"},
      {"user", u"--silent --allusers", u"installs for the current user only"},
      {"either", u"--silent --allusers --currentuser", u"cannot be used together"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scope);
    TestFolder folder;
    const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Refused", c.scope));
    const WideString log = folder / u"install.log";
    SetupProcess run(setup, WideString(c.arguments) + u" --log=\"" + log + u"\"");
    EXPECT_EQ(run.Wait(), 1603u);
    EXPECT_TRUE(LogMentions(ReadInstallLog(log), u"message", c.logged));
    EXPECT_TRUE(Entry(HKEY_LOCAL_MACHINE, u"Plove Refused", u"UninstallString").IsEmpty());
    EXPECT_TRUE(Entry(HKEY_CURRENT_USER, u"Plove Refused", u"UninstallString").IsEmpty());
  }
}

// One product, once per scope: two entries that go independently; the
// per-user run leaves out what only the machine has and names the other.
TEST(UserScope, EitherScriptInstallsOncePerScope) {
  TestFolder folder;
  const WideString name(u"Plove Both");
  const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Both", "either", kMachineLines));
  const WideString log = folder / u"install.log";
  SetupProcess machine(setup, u"--silent --allusers");
  ASSERT_EQ(machine.Wait(), 0u);
  SetupProcess user(setup, u"--silent --currentuser --log=\"" + log + u"\"");
  ASSERT_EQ(user.Wait(), 0u);

  const WideString machineFolder = Entry(HKEY_LOCAL_MACHINE, name, u"InstallLocation") + u"\\";
  const WideString userFolder = Entry(HKEY_CURRENT_USER, name, u"InstallLocation") + u"\\";
  ASSERT_NE(machineFolder, WideString(u"\\"));
  ASSERT_EQ(userFolder, UserPrograms() + u"Plove Both\\");
  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  EXPECT_TRUE(LogMentions(lines, u"message", u"already installed for all users (version 1.0)"));
  EXPECT_TRUE(LogMentions(lines, u"skipped", u"HKLM\\Software\\Plove Machine Line"));
  EXPECT_TRUE(LogMentions(lines, u"skipped", u"<Windows>plove-user-scope.txt"));
  EXPECT_FALSE(LoggedByElevatedCopy(lines));

  EXPECT_EQ(RunEntryCommand(Entry(HKEY_CURRENT_USER, name, u"QuietUninstallString")), 0u);
  EXPECT_FALSE(FileExists(userFolder + u"app.txt"));
  EXPECT_TRUE(FileExists(machineFolder + u"app.txt"));
  EXPECT_FALSE(Entry(HKEY_LOCAL_MACHINE, name, u"UninstallString").IsEmpty());
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, WideString(u"Software\\Plove Machine Line"), WideString(u"Set")),
            WideString(u"1"));
  EXPECT_EQ(RunEntryCommand(Entry(HKEY_LOCAL_MACHINE, name, u"QuietUninstallString")), 0u);
  EXPECT_FALSE(FileExists(machineFolder + u"app.txt"));
  EXPECT_TRUE(Entry(HKEY_LOCAL_MACHINE, name, u"UninstallString").IsEmpty());
}

// The person chooses on the Ready page; the folder follows the choice.
TEST(UserScope, WizardChoiceJustForMe) {
  TestFolder folder;
  const WideString name(u"Plove Chosen");
  const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Chosen", "either"));
  const WideString log = folder / u"install.log";
  SetupProcess run(setup, u"--log=\"" + log + u"\"");
  HWND wizard = driver::WaitForDialogWithControl(IDC_SCOPE_JUST_ME, 30000);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(IsWindowVisible(GetDlgItem(wizard, IDC_SCOPE_JUST_ME)));
  // An administrator's run preselects all users.
  EXPECT_EQ(SendMessageW(GetDlgItem(wizard, IDC_SCOPE_ALL_USERS), BM_GETCHECK, 0, 0), BST_CHECKED);
  driver::ClickByMessage(GetDlgItem(wizard, IDC_SCOPE_JUST_ME));
  EXPECT_TRUE(driver::WaitFor(
      [&] { return driver::ControlText(wizard, IDC_INSTALL_FOLDER) == UserPrograms() + u"Plove Chosen"; }, 5000))
      << driver::ControlText(wizard, IDC_INSTALL_FOLDER).ToUtf8();
  driver::ClickByMessage(GetDlgItem(wizard, IDC_INSTALL));
  ASSERT_TRUE(driver::WaitFor([&] { return driver::ControlText(wizard, IDC_CANCEL_INSTALL) == u"Finish"; }, 60000));
  driver::ClickByMessage(GetDlgItem(wizard, IDC_CANCEL_INSTALL));
  EXPECT_EQ(run.Wait(), 0u);
  ExpectInstalledUnder(HKEY_CURRENT_USER, name, log);
}

// All users, the preselected choice: the elevated copy installs into the
// folder chosen, at once, with no second Ready page.
TEST(UserScope, WizardChoiceAllUsersGoesToTheElevatedCopy) {
  TestFolder folder;
  const WideString name(u"Plove Everyone");
  const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Everyone", "either"));
  const WideString log = folder / u"install.log";
  SetupProcess run(setup, u"--log=\"" + log + u"\"");
  HWND first = driver::WaitForDialogWithControl(IDC_SCOPE_ALL_USERS, 30000);
  ASSERT_NE(first, nullptr);
  driver::ClickByMessage(GetDlgItem(first, IDC_INSTALL));
  HWND finished = nullptr;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        HWND wizard = driver::FindDialogWithControl(IDC_CANCEL_INSTALL);
        if (wizard == nullptr || driver::ControlText(wizard, IDC_CANCEL_INSTALL) != u"Finish") return false;
        finished = wizard;
        return true;
      },
      60000));
  EXPECT_NE(finished, first);
  driver::ClickByMessage(GetDlgItem(finished, IDC_CANCEL_INSTALL));
  EXPECT_EQ(run.Wait(), 0u);
  ExpectInstalledUnder(HKEY_LOCAL_MACHINE, name, log);
}

// A per-user run that fails is undone like any other, from its journal in
// the user's own uninstaller folder.
TEST(UserScope, FailedRunLeavesTheProfileAsItWas) {
  TestFolder folder;
  // The second file's folder would be the first file.
  const std::string blocked = "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\\in.txt\r\n";
  const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Undone", "user", blocked));
  const PrefixSnapshot before = TakePrefixSnapshot();
  const WideString log = folder / u"install.log";
  SetupProcess run(setup, u"--silent --log=\"" + log + u"\"");
  EXPECT_EQ(run.Wait(), 1603u);
  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  EXPECT_TRUE(LogMentions(lines, u"file new", u"Plove Undone\\app.txt"));
  EXPECT_TRUE(LogMentions(lines, u"rollback", u"the changes of this run were undone"));
  const std::vector<std::string> left = ChangesExcept(before, WineOwn);
  EXPECT_TRUE(left.empty()) << DifferencesText(left);
}

// A newer version over the user's own install: one entry, the new files,
// and its uninstaller removes them all.
TEST(UserScope, UpgradeReplacesTheUsersOwnInstall) {
  TestFolder folder;
  const WideString name(u"Plove Newer");
  const PrefixSnapshot before = TakePrefixSnapshot();
  SetupProcess first(PackSetup(folder, u"v1.exe", Product("Plove Newer", "user")), u"--silent");
  ASSERT_EQ(first.Wait(), 0u);
  SetupProcess second(PackSetup(folder, u"v2.exe", Product("Plove Newer", "user", std::string(), "2.0")), u"--silent");
  ASSERT_EQ(second.Wait(), 0u);
  EXPECT_EQ(Entry(HKEY_CURRENT_USER, name, u"DisplayVersion"), WideString(u"2.0"));
  EXPECT_EQ(FileBytes(UserPrograms() + u"Plove Newer\\app.txt"), "app 2.0\r\n");
  EXPECT_EQ(RunEntryCommand(Entry(HKEY_CURRENT_USER, name, u"QuietUninstallString")), 0u);
  const std::vector<std::string> left = ChangesExcept(before, LeftByUninstall);
  EXPECT_TRUE(left.empty()) << DifferencesText(left);
}
