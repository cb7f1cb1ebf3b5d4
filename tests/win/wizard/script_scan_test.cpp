#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/install_state.h"
#include "engine/win/shortcuts.h"
#include "engine/win/uninstall_record.h"
#include "payload/win/payload_context.h"
#include "payload_builder.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"
#include "util/win/windows_api.h"
#include "wizard/win/script_scan.h"
// windows_api.h first
#include <objbase.h>

using W = WideString;

namespace {

// The command line of an elevated copy without options of its own.
const char kPlainCommandLine[] = "\"C:\\setup.exe\" --selfrun --IsElevated=\"C:\\users\\t\\PLI1.tmp\"";
const WChar kSavedPathKey[] = u"Software\\PloveInstall";

// What the machine holds before the scans: a saved folder under
// HKEY_CURRENT_USER, a shortcut whose target lies in {dir}Located\bin, and
// earlier installs of four products with their uninstall records. "{dir}"
// in scripts, command lines and expectations stands for the test folder.
class ScriptScanTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    folder_ = std::make_unique<TestFolder>();
    const W dir = folder_->Path();
    WriteRegistryString(HKEY_CURRENT_USER, W(kSavedPathKey), W(u"ScanSaved"), W(u"E:\\Saved\\Tool\\"));
    // The key's default value must not stand in for an empty value name.
    WriteRegistryString(HKEY_CURRENT_USER, W(kSavedPathKey), W(), W(u"H:\\Default\\"));

    ASSERT_TRUE(CreateFolderTree(dir + u"Located\\bin"));
    ASSERT_TRUE(WriteWholeFile(dir + u"Located\\bin\\tool.exe", "MZ"));
    ShortcutSpec spec;
    spec.target = dir + u"Located\\bin\\tool.exe";
    ASSERT_TRUE(SUCCEEDED(CreateShortcut(dir + u"Links\\Tool.lnk", spec)));

    Previous(u"ScanPrevious", Fill("\"{dir}Uninstall-ScanPrevious.exe\" --uninstall=\"{dir}ScanPrevious.dat\""),
             "[Project Name]\r\nScanPrevious\r\n[Install To]\r\nF:\\Previous\\Tool\\\r\n[NoUnInstall]\r\n");
    // Every "[Install To]" of the record counts; the last one wins.
    Previous(u"ScanAngle", Fill("\"{dir}Uninstall-ScanAngle.exe\" <uninstall>{dir}ScanAngle.dat"),
             "[Install To]\r\nG:\\First\\\r\n[CopyFile]\r\nx\r\n<Destination>x\r\n[Install To]\r\nG:\\Angle\\\r\n");
    Previous(u"ScanGone", Fill("\"{dir}Uninstall-ScanGone.exe\" --uninstall=\"{dir}none.dat\""), nullptr);
    Previous(u"ScanOdd", Fill("\"{dir}ScanOdd.exe\" /remove"), nullptr);
  }

  static void TearDownTestSuite() {
    DeleteRegistryTree(HKEY_CURRENT_USER, W(u"Software"), W(u"PloveInstall"));
    for (const WChar* product : {u"ScanPrevious", u"ScanAngle", u"ScanGone", u"ScanOdd"})
      DeleteRegistryTree(HKEY_LOCAL_MACHINE, W(kUninstallKeyParent), W(product));
    folder_.reset();
    CoUninitialize();
  }

  void TearDown() override {
    PublishPayload(nullptr);
    ResetInstallState();
  }

  static void Previous(const WChar* product, const W& uninstallString, const char* record) {
    WriteRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(W(product)), W(u"UninstallString"), uninstallString);
    if (record) WriteWholeFile(folder_->Path() + product + u".dat", record);
  }

  static std::string Narrow(const W& text) { return std::string(text.ToAnsi()); }

  static W Fill(const char* text) {
    W filled = W::FromAnsi(text);
    filled.Replace(W(u"{dir}"), folder_->Path(), false);
    return filled;
  }

  // Publishes a payload with the script and three members (3072, 1024 and
  // 1023 bytes), on 64-bit or 32-bit Windows as asked, and scans it.
  ScriptScan Scan(const std::vector<const char*>& lines, const char* commandLine = kPlainCommandLine,
                  bool is64BitWindows = true) {
    std::string script;
    for (const char* line : lines) script += Narrow(Fill(line)) + "\r\n";
    PublishPayload(nullptr);
    payload_.Close();
    bytes_ = BuildTestPayload({{"setup.dat", script},
                               {"big.bin", std::string(3072, 'b')},
                               {"Docs\\small.txt", std::string(1024, 's')},
                               {"a.txt", std::string(1023, 'a')}});
    ResetInstallState();
    State().Is64BitWindows = is64BitWindows;
    bool failed = false;
    payload_.OpenFromMemory(bytes_.data(), bytes_.size(), &failed);
    EXPECT_FALSE(failed);
    PublishPayload(&payload_);
    return ScanInstallScript(Fill(commandLine));
  }

  static std::unique_ptr<TestFolder> folder_;
  std::vector<uint8_t> bytes_;
  PayloadContext payload_;
};

std::unique_ptr<TestFolder> ScriptScanTest::folder_;

std::vector<W> Items(const StringList& list) {
  std::vector<W> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list.Item(i));
  return items;
}

}  // namespace

TEST_F(ScriptScanTest, ValuesAndFlagsOfTheScript) {
  struct Case {
    const char* what;
    std::vector<const char*> script;
    const WChar* projectName;
    const WChar* title;
    const WChar* version;
    const WChar* publisher;
    bool uninstallAllowed;
    bool offerUninstallOld;
    bool saveGiven;
    const WChar* saveName;
    uint64_t totalKb;
    std::vector<W> destinations;
  } cases[] = {
      {"empty script", {}, u"Setup", u"Setup", u"", u"", true, true, false, u"", 0, {}},
      {"every value",
       {"[Project Name]", "Tool", "[ProgramVersion]", "2.1", "[UninstallSettings]", "Vendor Ltd", "[NoUnInstall]",
        "[NoOfferUninstallOld]", "[NoTestAdmin]", "[SaveInstallPath]", "NotThere", "[CopyFile]", "BIG.BIN",
        "<Destination>big.bin", "[CopyFile]", "docs\\small.txt", "<Destination>Docs\\small.txt", "[CopyFile]",
        "missing.dll", "<Destination>missing.dll"},
       u"Tool", u"Tool Installer", u"2.1", u"Vendor Ltd", false, false, true, u"NotThere",
       4,  // (3072 + 1024) / 1024; the missing member adds nothing
       {W(u"<Destination>big.bin"), W(u"<Destination>Docs\\small.txt"), W(u"<Destination>missing.dll")}},
      {"last value wins, sections match exactly, value lines are consumed",
       {"[Project Name]", "First", "[Project Name]", "Second", "[project name]", "Lower", "[ProgramVersion] ", "9",
        "[CopyFile]", "a.txt", "[NoUnInstall]", "[CopyFile]", "a.txt", "<Destination>a.txt"},
       u"Second", u"Second Installer", u"", u"", true, true, false, u"",
       1,  // 2 x 1023 bytes
       {W(u"[NoUnInstall]"), W(u"<Destination>a.txt")}},
      {"below one kilobyte", {"[CopyFile]", "a.txt", "<Destination>a.txt"}, u"Setup", u"Setup", u"", u"", true,
       true, false, u"", 0, {W(u"<Destination>a.txt")}},
      {"script cut short inside a directive", {"[ProgramVersion]", "3", "[CopyFile]", "big.bin"}, u"Setup",
       u"Setup", u"3", u"", true, true, false, u"", 3, {W()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedMessages messages;
    ScriptScan scan = Scan(c.script);
    const InstallState& state = State();
    EXPECT_TRUE(scan.requirementMet);
    EXPECT_EQ(state.ProjectName, W(c.projectName));
    EXPECT_EQ(state.InstallerTitle, W(c.title));
    EXPECT_EQ(state.ProgramVersion, W(c.version));
    EXPECT_EQ(state.Publisher, W(c.publisher));
    EXPECT_EQ(state.UninstallAllowed, c.uninstallAllowed);
    EXPECT_EQ(state.OfferUninstallOld, c.offerUninstallOld);
    EXPECT_EQ(state.SaveInstallPathGiven, c.saveGiven);
    EXPECT_EQ(state.SaveInstallPathName, W(c.saveName));
    EXPECT_EQ(state.TotalInstallSize, c.totalKb);
    EXPECT_EQ(Items(scan.destinations), c.destinations);
    EXPECT_EQ(messages.Count(), 0);
  }
}

// Where the install folder comes from: the script's default, a saved folder,
// a shortcut's target, the previous install's record, and the command line
// over each of them. InstallTo keeps its folder macros.
TEST_F(ScriptScanTest, InstallFolderFromEverySource) {
  struct Case {
    const char* what;
    std::vector<const char*> script;
    const char* commandLine;
    const char* installTo;
  } cases[] = {
      {"script default", {"[Install To]", "<Program Files>\\Tool\\"}, kPlainCommandLine, "<Program Files>\\Tool\\"},
      {"none at all", {"[Project Name]", "Fresh"}, kPlainCommandLine, ""},
      {"last default wins", {"[Install To]", "C:\\One\\", "[Install To]", "C:\\Two\\"}, kPlainCommandLine,
       "C:\\Two\\"},
      {"--installto, quoted, with blanks", {"[Install To]", "<Program Files>\\Tool\\"},
       "\"C:\\setup.exe\" --selfrun --IsElevated=\"C:\\t\\PLI1.tmp\" --installto=\"D:\\My Apps\\Tool\"",
       "D:\\My Apps\\Tool"},
      {"<installto>", {"[Install To]", "<Program Files>\\Tool\\"}, "\"C:\\setup.exe\" --selfrun <installto>D:\\Apps",
       "D:\\Apps"},
      {"an option after --installto is part of the path", {"[Install To]", "<Program Files>\\Tool\\"},
       "\"C:\\setup.exe\" --installto=\"D:\\Apps\" --silent", "D:\\Apps\" --silent"},
      {"saved folder; the previous install is not consulted",
       {"[Project Name]", "ScanPrevious", "[Install To]", "<Program Files>\\Tool\\", "[SaveInstallPath]",
        "ScanSaved"},
       kPlainCommandLine, "E:\\Saved\\Tool\\"},
      {"saved folder under the command line",
       {"[Install To]", "<Program Files>\\Tool\\", "[SaveInstallPath]", "ScanSaved"},
       "setup.exe --installto=\"D:\\Apps\\Tool\"", "D:\\Apps\\Tool"},
      {"no saved value: the previous install",
       {"[Project Name]", "ScanPrevious", "[Install To]", "<Program Files>\\Tool\\", "[SaveInstallPath]",
        "NotThere"},
       kPlainCommandLine, "F:\\Previous\\Tool\\"},
      {"empty value name reads nothing", {"[Install To]", "<Program Files>\\Tool\\", "[SaveInstallPath]", ""},
       kPlainCommandLine, "<Program Files>\\Tool\\"},
      {"a later default replaces the saved folder",
       {"[Project Name]", "ScanPrevious", "[SaveInstallPath]", "ScanSaved", "[Install To]", "<Program Files>\\Tool\\"},
       kPlainCommandLine, "<Program Files>\\Tool\\"},
      {"shortcut target's folder",
       {"[Project Name]", "ScanPrevious", "[Install To]", "<Program Files>\\Tool\\", "[LocateInstall]",
        "{dir}Links\\Tool.lnk"},
       kPlainCommandLine, "{dir}Located\\bin\\"},
      {"shortcut named through a folder macro",
       {"[Install To]", "{dir}Links\\", "[LocateInstall]", "<Destination>Tool.lnk"}, kPlainCommandLine,
       "{dir}Located\\bin\\"},
      {"missing shortcut: the previous install",
       {"[Project Name]", "ScanPrevious", "[Install To]", "<Program Files>\\Tool\\", "[LocateInstall]",
        "{dir}Links\\None.lnk"},
       kPlainCommandLine, "F:\\Previous\\Tool\\"},
      {"shortcut under the command line",
       {"[Install To]", "<Program Files>\\Tool\\", "[LocateInstall]", "{dir}Links\\Tool.lnk"},
       "setup.exe <installto>D:\\Apps", "D:\\Apps"},
      {"previous install", {"[Project Name]", "ScanPrevious", "[Install To]", "<Program Files>\\Tool\\"},
       kPlainCommandLine, "F:\\Previous\\Tool\\"},
      {"previous install without [Install To] in the script", {"[Project Name]", "ScanPrevious"},
       kPlainCommandLine, "F:\\Previous\\Tool\\"},
      {"previous install, <uninstall> form, last [Install To] of the record",
       {"[Project Name]", "ScanAngle", "[Install To]", "<Program Files>\\Tool\\"}, kPlainCommandLine,
       "G:\\Angle\\"},
      {"previous install under the command line",
       {"[Project Name]", "ScanPrevious", "[Install To]", "<Program Files>\\Tool\\"},
       "setup.exe --installto=\"D:\\Apps\\Tool\"", "D:\\Apps\\Tool"},
      {"previous record missing", {"[Project Name]", "ScanGone", "[Install To]", "<Program Files>\\Tool\\"},
       kPlainCommandLine, "<Program Files>\\Tool\\"},
      {"uninstall string without a record", {"[Project Name]", "ScanOdd", "[Install To]", "<Program Files>\\Tool\\"},
       kPlainCommandLine, "<Program Files>\\Tool\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedMessages messages;
    ScriptScan scan = Scan(c.script, c.commandLine);
    EXPECT_TRUE(scan.requirementMet);
    EXPECT_EQ(State().InstallTo, Fill(c.installTo));
    EXPECT_EQ(scan.defaultInstallPath, Fill(c.installTo));
    EXPECT_EQ(messages.Count(), 0);
  }
}

TEST_F(ScriptScanTest, WindowsRequirementAndTwins) {
  struct Case {
    const char* what;
    std::vector<const char*> script;
    bool is64BitWindows;
    bool install64Bit;
    const WChar* caption;  // of the requirement message; null when none
  } cases[] = {
      {"64-bit required on 64-bit Windows", {"[Windows Version]", "4", "[CopyFile]", "big.bin", "<Destination>app.exe"},
       true, true, nullptr},
      {"64-bit required on 32-bit Windows",
       {"[Project Name]", "Tool", "[Windows Version]", "4", "[ProgramVersion]", "2.0"}, false, true,
       u"Tool Installer"},
      {"leading zero is still 4", {"[Windows Version]", "04"}, false, true, u"Setup"},
      {"other numbers impose nothing", {"[Windows Version]", "5"}, false, false, nullptr},
      {"not a number", {"[Windows Version]", "x4"}, false, false, nullptr},
      {"program with its 64-bit twin",
       {"[CopyFile]", "big.bin", "<Destination>app.exe", "[CopyFile]", "big.bin", "<Destination>app__PLI_WIN64.exe"},
       true, true, nullptr},
      {"a library without twin",
       {"[CopyFile]", "big.bin", "<Destination>app.exe", "[CopyFile]", "big.bin", "<Destination>app__PLI_WIN64.exe",
        "[CopyFile]", "big.bin", "<Destination>tool.dll"},
       true, false, nullptr},
      {"twins on 32-bit Windows",
       {"[CopyFile]", "big.bin", "<Destination>app.exe", "[CopyFile]", "big.bin", "<Destination>app__PLI_WIN64.exe"},
       false, false, nullptr},
      {"no programs at all", {"[CopyFile]", "big.bin", "<Destination>big.bin"}, true, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedMessages messages(IDOK);
    ScriptScan scan = Scan(c.script, kPlainCommandLine, c.is64BitWindows);
    EXPECT_EQ(State().Install64Bit, c.install64Bit);
    EXPECT_EQ(scan.requirementMet, c.caption == nullptr);
    if (c.caption == nullptr) {
      EXPECT_EQ(messages.Count(), 0);
      continue;
    }
    ASSERT_EQ(messages.Count(), 1);
    const RecordedMessage message = messages.Last();
    EXPECT_EQ(message.text, W(u"This install requires Windows 64 bit or above."));
    EXPECT_EQ(message.caption, W(c.caption));
    EXPECT_EQ(message.flags, static_cast<UINT>(MB_TOPMOST | MB_ICONERROR));
    EXPECT_EQ(message.owner, nullptr);
    EXPECT_TRUE(State().ProgramVersion.IsEmpty());  // the scan stopped at the requirement
  }
}

TEST_F(ScriptScanTest, NoPayloadReadsAsAnEmptyScript) {
  ScriptedMessages messages;
  ResetInstallState();
  ScriptScan scan = ScanInstallScript(W(u"setup.exe --installto=\"D:\\Apps\""));
  EXPECT_TRUE(scan.requirementMet);
  EXPECT_EQ(State().ProjectName, W(u"Setup"));
  // The command line gives the folder even when nothing else names one.
  EXPECT_EQ(State().InstallTo, W(u"D:\\Apps"));
  EXPECT_EQ(scan.defaultInstallPath, W(u"D:\\Apps"));
  EXPECT_EQ(messages.Count(), 0);
}
