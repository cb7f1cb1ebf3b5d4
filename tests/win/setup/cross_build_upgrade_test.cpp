// The 32-bit and the 64-bit installer share their products: an upgrade
// packed with one build finds what the other installed, offers its removal
// as for an upgrade by the same build, and leaves one entry.

#include <gtest/gtest.h>

#include "engine/win/uninstall_record.h"
#include "resources/resource_ids.h"
#include "setup_harness.h"
#include "util/win/registry.h"
#include "window_driver.h"

namespace {

std::vector<PackSource> Product(const std::string& name, const std::string& version) {
  const std::string script = "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n" + version +
                             "\r\n[Install To]\r\nC:\\" + name + "\\\r\n[UninstallSettings]\r\nPlove Tests\r\n"
                             "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n";
  return {{"setup.dat", Bytes(script)}, {"app.txt", Bytes(name + " " + version + "\r\n")}};
}

// Both builds run where Windows is 64-bit and has its 32-bit part.
bool BothBuildsRun() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH &&
         FileExists(WideString(folder) + u"\\kernel32.dll");
}

int EntriesOf(const WideString& name) {
  StringList entries;
  EnumerateSubkeys(HKEY_LOCAL_MACHINE, WideString(kUninstallKeyParent), entries);
  int count = 0;
  for (int i = 0; i < entries.Count(); ++i) count += entries.Item(i).StartsWith(name) ? 1 : 0;
  return count;
}

}  // namespace

TEST(CrossBuildUpgrade, EachBuildUpgradesWhatTheOtherInstalled) {
  if (!FileExists(HostPath(PLOVE_OTHER_STUB_PATH))) GTEST_SKIP() << "no stub of the other build at " << PLOVE_OTHER_STUB_PATH;
  if (!BothBuildsRun()) GTEST_SKIP() << "this Windows runs no 32-bit programs";
  const struct {
    const char* name;
    const char* firstStub;
    const char* secondStub;
  } cases[] = {
      {"Plove Cross One", PLOVE_STUB_PATH, PLOVE_OTHER_STUB_PATH},
      {"Plove Cross Two", PLOVE_OTHER_STUB_PATH, PLOVE_STUB_PATH},
  };
  TestFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const WideString name = WideString::FromUtf8(c.name);
    {
      SetupProcess first(PackSetup(folder, name + u"-1.exe", Product(c.name, "1.0"), c.firstStub), u"--silent");
      ASSERT_EQ(first.Wait(), 0u);
    }
    ASSERT_EQ(EntriesOf(name), 1);
    SetupProcess second(PackSetup(folder, name + u"-2.exe", Product(c.name, "2.0"), c.secondStub), u"", {IDYES});
    HWND wizard = nullptr;
    ASSERT_TRUE(driver::WaitFor([&] { return (wizard = driver::FindDialogWithControl(IDC_INSTALL)) != nullptr; }, 30000));
    SendMessageW(GetDlgItem(wizard, IDC_INSTALL), BM_CLICK, 0, 0);
    ASSERT_TRUE(driver::WaitFor(
        [&] { return driver::ControlText(wizard, IDC_CANCEL_INSTALL) == WideString(u"Finish"); }, 60000));
    SendMessageW(GetDlgItem(wizard, IDC_CANCEL_INSTALL), BM_CLICK, 0, 0);
    EXPECT_EQ(second.Wait(), 0u);
    const std::vector<TranscriptMessage> messages = second.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.Find(u"Setup has detected an existing version of " + name + u"."), 0);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(name), WideString(u"DisplayVersion")),
              WideString(u"2.0"));
    EXPECT_EQ(FileBytes(u"C:\\" + name + u"\\app.txt"), c.name + std::string(" 2.0\r\n"));
    EXPECT_EQ(EntriesOf(name), 1);
  }
}
