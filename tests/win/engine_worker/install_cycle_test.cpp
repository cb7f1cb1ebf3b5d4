// A whole install of a small product, then its uninstall.
#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/shortcuts.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/folder_macros.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/process_paths.h"
#include "util/win/registry.h"
#include "worker_test_support.h"
#include "util/win/windows_api.h"

#include <objbase.h>

namespace {

WideString Expanded(const char16_t* text) {
  WideString value(text);
  ExpandFolderMacros(value);
  return value;
}

const WideString kAppPaths(u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths");

}  // namespace

TEST(InstallCycle, SmallProductInstallsAndUninstallsCleanly) {
  TestFolder logs;
  const WideString toolLog = logs / u"tool.log";
  const WideString comLog = logs / u"com.log";
  SetEnvironmentVariableW(L"PLOVE_FAKE_LOG", toolLog.W());
  SetEnvironmentVariableW(L"PLOVE_FAKE_COM_LOG", comLog.W());
  SetEnvironmentVariableW(L"PLOVE_FAKE_CHECK", UninstallRecordPathFor(u"Plove Small").W());

  const std::string script = ScriptOf({
      "[Project Name]", "Plove Small", "[ProgramVersion]", "1.2", "[Install To]", "<Program Files>Plove Small\\",
      "[Action]", "Copying files",
      "[CopyFile]", "readme.txt", "<Destination>docs\\readme.txt",
      "[CopyFile]", "tool.exe", "<Destination>tool.exe",
      "[CopyFile]", "fake_com.dll", "<Destination>fake_com.dll",
      "[CreateIcon]", "<Destination>tool.exe", "<Start Programs>Plove Small\\Tool.lnk", "--from-icon", "",
      "[CreateIcon]", "<Destination>docs\\readme.txt", "<DeskTop>Readme.lnk", "", "Optional - Read me",
      "[RunAndWaitFile]", "<Destination>tool.exe", "first -RUNELEVATED run", "",
      "[RunFile]", "<Destination>tool.exe", "later", "Optional - Start now",
      "[Message]", "Installed.\\nEnjoy <Destination>", "Information",
      "[Registry]", "HKLM", "Software\\PloveTests\\Small", "STRING", "Folder", "<Destination>",
      "[Registry]", "HKLM", "Software\\PloveTests\\Small", "DWORD", "Level", "7",
      "[UninstallAction]", "<Destination>tool.exe", "uninstalling",
  });
  TestInstall install(u"Plove Small", u"<Program Files>Plove Small\\",
                      {{"setup.dat", script},
                       {"readme.txt", "Read me first.\r\n"},
                       {"tool.exe", SiblingFileBytes(L"fake_tool.exe")},
                       {"fake_com.dll", SiblingFileBytes(L"fake_com.dll")}});
  InstallState& state = State();
  state.ProgramVersion = u"1.2";
  const WideString folder(u"C:\\Program Files (x86)\\Plove Small\\");
  ASSERT_EQ(state.InstallTo, folder);
  ScriptedMessages messages(IDOK);

  install.Run();

  EXPECT_EQ(LastOutcome(), InstallOutcome::Completed);
  EXPECT_FALSE(state.InstallFailed);
  EXPECT_EQ(FileText(folder + u"docs\\readme.txt"), "Read me first.\r\n");
  EXPECT_EQ(FileText(folder + u"tool.exe"), SiblingFileBytes(L"fake_tool.exe"));
  const WideString shortcut = Expanded(u"<Start Programs>Plove Small\\Tool.lnk");
  WideString target;
  CoInitialize(nullptr);
  EXPECT_TRUE(ResolveShortcut(shortcut, target));
  EXPECT_TRUE(target.Equals(folder + u"tool.exe", true)) << target;
  CoUninitialize();
  EXPECT_FALSE(Exists(Expanded(u"<DeskTop>Readme.lnk")));

  // The run wrote the uninstall record first; the -RUNELEVATED marker is
  // taken out of its parameters.
  EXPECT_EQ(FileText(toolLog), "\"" + (folder + u"tool.exe").ToUtf8() + "\" first run |record\n");
  EXPECT_EQ(FileText(comLog), "register " + (folder + u"fake_com.dll").ToUtf8() + "\n");

  ASSERT_EQ(state.IconEntries.size(), 1u);
  EXPECT_EQ(state.IconEntries[0].Caption, WideString(u"Read me"));
  EXPECT_EQ(state.IconEntries[0].ShortcutPath, WideString(u"<DeskTop>Readme.lnk"));
  EXPECT_EQ(state.IconEntries[0].Target, WideString(u"<Destination>docs\\readme.txt"));
  ASSERT_EQ(state.RunEntries.size(), 1u);
  EXPECT_EQ(state.RunEntries[0].Caption, WideString(u"Start now"));
  EXPECT_EQ(state.RunEntries[0].Parameters, WideString(u"later"));
  EXPECT_FALSE(state.RunEntries[0].Wait);

  ASSERT_EQ(messages.Count(), 1);
  RecordedMessage shown = messages.Last();
  EXPECT_EQ(shown.text, WideString(u"Installed.\r\nEnjoy ") + folder);
  EXPECT_EQ(shown.caption, WideString(u"Plove Small Installer"));
  EXPECT_EQ(shown.flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));

  const WideString valuesKey(u"Software\\PloveTests\\Small");
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, valuesKey, u"Folder"), folder);
  bool found = false;
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, valuesKey, u"Level", &found), 7u);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kAppPaths + u"\\tool.exe", u""), folder + u"tool.exe");
  {
    MutexGuard guard(state.ProgressLock);
    EXPECT_EQ(state.ProgressDone, 3);
    EXPECT_EQ(state.ProgressTotal, 3);
    EXPECT_EQ(state.PendingAction, WideString(u"Registering Dlls"));
  }

  // The wizard's own call after the worker writes nothing more.
  const WideString record = UninstallRecordPathFor(u"Plove Small");
  ASSERT_TRUE(Exists(record));
  WriteUninstallRecord();

  // Now the uninstall, from the registered "UninstallString".
  const WideString uninstallString =
      ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Small"), u"UninstallString");
  ASSERT_FALSE(uninstallString.IsEmpty());
  DeleteFileW(toolLog.W());
  messages.Clear();
  RunUninstall(uninstallString);

  EXPECT_EQ(messages.Count(), 0);
  EXPECT_FALSE(State().UninstallRebootRequired);
  EXPECT_EQ(FileText(toolLog), "\"" + (folder + u"tool.exe").ToUtf8() + "\" uninstalling |record\n");
  EXPECT_EQ(FileText(comLog), "register " + (folder + u"fake_com.dll").ToUtf8() + "\nunregister " +
                                  (folder + u"fake_com.dll").ToUtf8() + "\n");
  EXPECT_FALSE(Exists(folder));
  EXPECT_FALSE(Exists(shortcut));
  EXPECT_FALSE(Exists(Expanded(u"<Start Programs>Plove Small")));
  EXPECT_TRUE(Exists(Expanded(u"<Start Programs>")));
  EXPECT_TRUE(Exists(u"C:\\Program Files (x86)"));
  EXPECT_FALSE(Exists(record));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Small")));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPaths + u"\\tool.exe"));
  // Registry values go, their key stays.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, valuesKey));
  EXPECT_EQ(ValueNames(HKEY_LOCAL_MACHINE, valuesKey).Count(), 0);
  // Three files and both shortcut entries (the optional one never made)
  // are positions; only the files count in the total.
  {
    MutexGuard guard(State().ProgressLock);
    EXPECT_EQ(State().ProgressDone, 5);
    EXPECT_EQ(State().ProgressTotal, 3);
  }
  // The running uninstaller (here the test program) is no uninstaller copy
  // in the uninstaller folder: it stays, and so does that folder.
  StringList pending = PendingRenameSources();
  EXPECT_FALSE(pending.Contains(ModulePath(), true));
  EXPECT_TRUE(Exists(UninstallFolder()));

  DeleteFileW(UninstallerCopyPath(u"Plove Small").W());
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(u"Software"), WideString(u"PloveTests"));
  SetEnvironmentVariableW(L"PLOVE_FAKE_CHECK", nullptr);
}
