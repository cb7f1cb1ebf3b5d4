#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "placement_test_support.h"
#include "util/win/windows_api.h"
// windows_api.h first
#include <shlobj.h>

using W = WideString;

namespace {

W Expanded(const W& text) {
  W copy = text;
  ExpandFolderMacros(copy);
  return copy;
}

W SystemFolder() {
  wchar_t buffer[MAX_PATH];
  GetSystemDirectoryW(buffer, MAX_PATH);
  return W(buffer);
}

class FolderMacros : public ::testing::Test {
 protected:
  void TearDown() override { ResetInstallState(); }
};

}  // namespace

TEST_F(FolderMacros, WindowsFoldersEndInOneBackslash) {
  EXPECT_EQ(Expanded(W(u"<System>\\kernel32.dll")), SystemFolder() + u"\\kernel32.dll");
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(Expanded(W(u"<windows>regedit.exe")), W(windows) + u"\\regedit.exe");
  // The 64-bit test program on 64-bit Windows has a WOW64 folder.
  wchar_t wow[MAX_PATH];
  ASSERT_NE(GetSystemWow64DirectoryW(wow, MAX_PATH), 0u);
  EXPECT_EQ(Expanded(W(u"<SystemWOW64>")), W(wow) + u"\\");
}

TEST_F(FolderMacros, DestinationAndProgramFilesInOneCall) {
  State().InstallTo = W(u"<Program Files>\\Vendor\\Tool");
  State().Install64Bit = false;
  EXPECT_EQ(Expanded(W(u"<Destination>\\bin\\x.dll")), W(u"C:\\Program Files (x86)\\Vendor\\Tool\\bin\\x.dll"));
  State().Install64Bit = true;
  EXPECT_EQ(Expanded(W(u"<Destination>\\bin\\x.dll")), W(u"C:\\Program Files\\Vendor\\Tool\\bin\\x.dll"));
  EXPECT_EQ(Expanded(W(u"<program files>")), W(u"C:\\Program Files\\"));
  // The shared files follow the product's view (Wine names no
  // "CommonW6432Dir"); the administrator probe's folder follows none.
  EXPECT_EQ(Expanded(W(u"<Common Files>")), W(u"C:\\Program Files\\Common Files\\"));
  State().Install64Bit = false;
  EXPECT_EQ(Expanded(W(u"<Common Files>")), W(u"C:\\Program Files (x86)\\Common Files\\"));
  EXPECT_EQ(MachineProgramFilesFolder(), W(u"C:\\Program Files\\"));
}

TEST_F(FolderMacros, ShellFoldersAndQuickLaunch) {
  wchar_t appData[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE));
  EXPECT_EQ(Expanded(W(u"<QuickLaunch>\\a.lnk")),
            W(appData) + u"\\Microsoft\\Internet Explorer\\Quick Launch\\a.lnk");
  wchar_t desktop[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
  EXPECT_EQ(Expanded(W(u"<DeskTop>\\x.exe")), W(desktop) + u"\\x.exe");
  wchar_t programs[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE));
  EXPECT_EQ(Expanded(W(u"<Start Programs>\\Tool\\Tool.lnk")), W(programs) + u"\\Tool\\Tool.lnk");
  for (const WChar* macro : {u"<Startup>", u"<MyDocuments>"}) {
    const W value = Expanded(W(macro));
    EXPECT_EQ(value.Find(W(u"<")), 0) << value;
    EXPECT_EQ(value.CharAt(kLastPosition), u'\\');
  }
}

TEST_F(FolderMacros, SourceOnlyWithAPublishedPayload) {
  EXPECT_EQ(Expanded(W(u"<Source>setup.dat")), W(u"<Source>setup.dat"));
  PublishedTestPayload payload;
  ASSERT_TRUE(payload.Ready());
  const W expanded = Expanded(W(u"<Source>\\setup.dat"));
  EXPECT_EQ(expanded, PublishedPayload()->PayloadFolder() + u"setup.dat");
}

TEST_F(FolderMacros, LongValuesUncAndOtherText) {
  W longFolder(u"C:\\");
  for (int i = 0; i < 40; ++i) longFolder += W(u"folder_name\\");
  State().InstallTo = longFolder;  // about 480 characters
  EXPECT_EQ(Expanded(W(u"<Destination>\\file.txt")), longFolder + u"file.txt");
  EXPECT_EQ(Expanded(W(u"\\\\server\\share\\\\x")), W(u"\\\\server\\share\\x"));
  EXPECT_EQ(Expanded(W(u"<TempInstall>\\setup.exe")), W(u"<TempInstall>\\setup.exe"));
}
