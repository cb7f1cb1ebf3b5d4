#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/file_placement.h"
#include "engine/win/program_runs.h"
#include "engine/win/shortcuts.h"
#include "placement_test_support.h"
#include "util/win/file_system.h"
#include "util/win/windows_api.h"
// windows_api.h first
#include <objbase.h>

using W = WideString;

namespace {

const WChar kMarkerKey[] = u"Software\\PloveTest";
const WChar kMarkerValue[] = u"Registered";

class ComThread : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    DeleteUserValue(kMarkerKey, kMarkerValue);
  }
  void TearDown() override {
    DllRegistrationList().Clear();
    ResetInstallState();
    CoUninitialize();
  }
  TestFolder folder_;
};

}  // namespace

TEST_F(ComThread, ShortcutInNewFolderIsCreatedAndResolved) {
  State().InstallTo = folder_.Path() + u"App";
  const W target = folder_ / u"App\\tool.exe";
  ASSERT_TRUE(CreateFolderTree(folder_ / u"App"));
  ASSERT_TRUE(WriteWholeFile(target, "MZ"));

  ShortcutSpec spec;
  spec.target = W(u"<Destination>\\tool.exe");
  spec.flags = kShortcutArguments | kShortcutWorkingFolder;
  spec.arguments = W(u"--open <Destination>\\data");
  spec.workingFolder = W(u"<Destination>\\");
  const W link = folder_ / u"Menu\\Sub\\Tool.lnk";
  EXPECT_TRUE(SUCCEEDED(CreateShortcut(link, spec)));
  ASSERT_TRUE(PathExists(link));

  W resolved;
  EXPECT_TRUE(ResolveShortcut(link, resolved));
  EXPECT_TRUE(resolved.Equals(target, true)) << resolved;

  W missing(u"unchanged");
  EXPECT_FALSE(ResolveShortcut(folder_ / u"Menu\\none.lnk", missing));
  EXPECT_TRUE(missing.IsEmpty());
}

TEST_F(ComThread, ShortcutWithEveryOptionalField) {
  ShortcutSpec spec;
  spec.target = folder_ / u"doc.txt";
  spec.flags = 0x3F;
  spec.description = W(u"<Destination> stays as written");
  spec.iconPath = W(u"<System>\\shell32.dll");
  spec.iconIndex = 3;
  spec.showCommand = SW_SHOWMAXIMIZED;
  spec.hotKey = MAKEWORD('T', 0x02 | 0x04);  // Ctrl+Alt+T
  const W link = folder_ / u"all.lnk";
  EXPECT_TRUE(SUCCEEDED(CreateShortcut(link, spec)));
  W resolved;
  EXPECT_TRUE(ResolveShortcut(link, resolved));
  EXPECT_TRUE(resolved.Equals(folder_ / u"doc.txt", true)) << resolved;
}

TEST_F(ComThread, RegisterDllsCallsTheExportAndEmptiesTheList) {
  DllRegistrationList().Add(FixturePath(u"plv_noexport.dll"));  // loads, nothing to call
  DllRegistrationList().Add(FixturePath(u"plv_register.dll"));
  RegisterDlls();
  EXPECT_EQ(ReadUserDword(kMarkerKey, kMarkerValue), 1);
  EXPECT_EQ(DllRegistrationList().Count(), 0);

  UnregisterDllServer(FixturePath(u"plv_register.dll"));
  EXPECT_EQ(ReadUserDword(kMarkerKey, kMarkerValue), -1);
}

TEST_F(ComThread, UnloadableDllGoesToRegsvr32) {
  // This DLL refuses to load anywhere but in regsvr32.exe, which then
  // registers it (value 2 tells it was regsvr32).
  const W dll = FixturePath(u"plv_regsvr_only.dll");
  ASSERT_EQ(LoadLibraryW(dll.W()), nullptr);
  RegisterDll(dll);
  EXPECT_EQ(ReadUserDword(kMarkerKey, kMarkerValue), 2);
  UnregisterDllServer(dll);
  EXPECT_EQ(ReadUserDword(kMarkerKey, kMarkerValue), -1);
}
