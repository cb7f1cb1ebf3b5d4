#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/installed_version.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/uninstaller_image.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "uninstall/win/record_product.h"
#include "util/win/file_system.h"
#include "util/win/process_paths.h"
#include "util/win/registry.h"
#include "worker_test_support.h"

namespace {

const WideString kSavedKey(u"Software\\PloveInstall");

void ForgetProduct(const WideString& name) {
  DeleteFileW(UninstallRecordPathFor(name).W());
  DeleteFileW(UninstallerCopyPath(name).W());
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(kUninstallKeyParent), name);
}

}  // namespace

TEST(UninstallRecord, RecordCopyAndValues) {
  // Lone LF, lone CR and CR LF line ends, an empty line, and no line end
  // at the very end.
  const std::string script =
      "[Project Name]\nRec App\n\n[Install To]\r<Program Files>Rec App\\\r\n[ProgramVersion]\n2.0\n"
      "[CopyFile]\nx.txt\n<Destination>x.txt";
  TestInstall install(u"Rec App", u"<Program Files>Chosen Folder\\", {{"setup.dat", script}});
  InstallState& state = State();
  state.ProgramVersion = u"2.0";
  state.Publisher = u"Plove Tests";
  state.TotalInstallSize = 0x100000005ull;  // only the low 32 bits are stored
  state.SaveInstallPathGiven = true;
  state.SaveInstallPathName = u"RecAppPath";
  const WideString installTo(u"C:\\Program Files (x86)\\Chosen Folder\\");
  ASSERT_EQ(state.InstallTo, installTo);

  WriteUninstallRecord();

  const WideString record = UninstallRecordPathFor(u"Rec App");
  const WideString copy = UninstallerCopyPath(u"Rec App");
  EXPECT_EQ(record, WideString(u"C:\\Program Files (x86)\\PloveUninstall\\PloveUninstall-Rec App.dat"));
  EXPECT_EQ(FileText(record),
            "[Project Name]\r\nRec App\r\n\r\n[Install To]\r\nC:\\Program Files (x86)\\Chosen Folder\\\r\n"
            "[ProgramVersion]\r\n2.0\r\n[CopyFile]\r\nx.txt\r\n<Destination>x.txt\r\n");
  EXPECT_EQ(FileText(copy), "MZ uninstaller of the test installs");  // the prepared one

  const WideString key = UninstallKeyPath(u"Rec App");
  auto text = [&key](const char16_t* name) { return ReadRegistryString(HKEY_LOCAL_MACHINE, key, name); };
  EXPECT_EQ(text(u"DisplayName"), WideString(u"Rec App"));
  EXPECT_EQ(text(u"Publisher"), WideString(u"Plove Tests"));
  EXPECT_EQ(text(u"DisplayVersion"), WideString(u"2.0"));
  EXPECT_EQ(text(u"InstallLocation"), installTo);
  EXPECT_EQ(text(u"InstallTo"), installTo);
  EXPECT_EQ(text(u"DisplayIcon"), copy);
  EXPECT_EQ(text(u"UninstallString"), WideString::Format(u"\"%s\" --uninstall=\"%s\"", copy, record));
  bool found = false;
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key, u"NoModify", &found), 1u);
  EXPECT_TRUE(found);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key, u"NoRepair", &found), 1u);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, key, u"EstimatedSize", &found), 5u);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kSavedKey, u"RecAppPath"), installTo);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kSavedKey, u"RecAppPath"), installTo);

  // Once per process: a second call writes nothing.
  ASSERT_TRUE(DeleteFileW(record.W()));
  WriteUninstallRecord();
  EXPECT_FALSE(Exists(record));
  ForgetProduct(u"Rec App");
}

TEST(UninstallRecord, NoUninstallWritesNothing) {
  TestInstall install(u"Rec None", u"C:\\Rec None\\", {{"setup.dat", ScriptOf({"[NoUnInstall]"})}});
  State().UninstallAllowed = false;
  WriteUninstallRecord();
  EXPECT_FALSE(Exists(UninstallRecordPathFor(u"Rec None")));
  EXPECT_FALSE(Exists(UninstallerCopyPath(u"Rec None")));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Rec None")));
}

TEST(UninstallRecord, WithoutScriptOrVersionTheValuesStillGo) {
  // No setup.dat in the payload: no record, but the entry is written, and
  // without a version there is no "DisplayVersion" (nor "Publisher").
  ScriptedMessages messages(IDOK);  // the payload reports the missing script
  TestInstall install(u"Rec Bare", u"C:\\Rec Bare\\", {{"other.txt", "x"}});
  State().SaveInstallPathGiven = true;  // an empty value name saves nothing
  WriteUninstallRecord();
  const WideString key = UninstallKeyPath(u"Rec Bare");
  EXPECT_FALSE(Exists(UninstallRecordPathFor(u"Rec Bare")));
  EXPECT_TRUE(Exists(UninstallerCopyPath(u"Rec Bare")));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, key, u"DisplayName"), WideString(u"Rec Bare"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, key, u"DisplayVersion"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, key, u"Publisher"));
  ForgetProduct(u"Rec Bare");
}

TEST(UninstallRecord, ArgumentFromCommandLine) {
  const struct {
    const WChar* commandLine;
    const WChar* record;
  } cases[] = {
      {u"\"C:\\U\\Uninstall-App.exe\" --uninstall=\"C:\\U\\PloveUninstall-App.dat\"", u"C:\\U\\PloveUninstall-App.dat"},
      {u"x.exe --sayonrebootruninst --uninstall=\"C:\\r.dat\"", u"C:\\r.dat"},
      // What follows the record is not part of it: options, a trailing blank.
      {u"x.exe --uninstall=\"C:\\My Apps\\r.dat\" --silent", u"C:\\My Apps\\r.dat"},
      {u"x.exe --uninstall=\"C:\\r.dat\" ", u"C:\\r.dat"},
      {u"x.exe --uninstall=C:\\r.dat --silent", u"C:\\r.dat"},
      // "<uninstall>" wins over "--uninstall="; an empty one falls back.
      {u"x.exe --uninstall=a.dat <uninstall>C:\\b.dat --silent", u"C:\\b.dat"},
      {u"x.exe --uninstall=C:\\c.dat <uninstall>", u"C:\\c.dat"},
      {u"x.exe <uninstall>\"C:\\d d.dat", u"C:\\d d.dat"},  // no closing quote: the rest
      {u"x.exe --silent", u""},
      {u"x.exe --uninstall=\"", u""},
      {u"x.exe --uninstall= --silent", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(UninstallRecordArgument(c.commandLine), WideString(c.record)) << c.commandLine;

  // The first process hands its elevated copy the record by its full path.
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
  EXPECT_EQ(WithFullRecordPath(u"--silent --uninstall=PloveUninstall-A.dat --log=x"),
            WideString(u"--silent --uninstall=\"C:\\windows\\PloveUninstall-A.dat\" --log=x"));
  EXPECT_EQ(WithFullRecordPath(u"<uninstall>\"<Program Files>PloveUninstall\\PloveUninstall-B.dat\""),
            WideString(u"<uninstall>\"C:\\Program Files (x86)\\PloveUninstall\\PloveUninstall-B.dat\""));
  EXPECT_EQ(WithFullRecordPath(u"--silent"), WideString(u"--silent"));
  SetCurrentDirectoryW(saved);
}

TEST(UninstallRecord, VersionOfAnInstalledProduct) {
  TestFolder folder;
  const WideString record = folder / u"PloveUninstall-V.dat";
  ASSERT_TRUE(WriteWholeFile(record, "[Project Name]\r\nV\r\n[ProgramVersion]\r\n3.1\r\n[ProgramVersion]\r\n4\r\n"));
  EXPECT_EQ(ReadRecordVersion(record), WideString(u"3.1"));
  EXPECT_EQ(ReadRecordVersion(folder / u"missing.dat"), WideString(u"[Unkonwn]"));
  EXPECT_EQ(ReadRecordVersion(WideString()), WideString(u"[Unkonwn]"));
  const WideString other = folder / u"PloveUninstall-W.dat";
  ASSERT_TRUE(WriteWholeFile(other, "[programversion]\r\n1\r\n"));
  EXPECT_EQ(ReadRecordVersion(other), WideString(u"[Unkonwn]"));
}

TEST(UninstallRecord, FreshUninstallerCopySurvivesTheRestart) {
  // The old version's uninstaller, run just before, asked for its own
  // deletion at the next restart; the new copy takes its name and must stay.
  // Other pending deletions and renames are kept, in order.
  TestFolder folder;
  const WideString other = folder / u"other.txt";
  const WideString renamed = folder / u"renamed.txt";
  ASSERT_TRUE(WriteWholeFile(other, "x"));
  ASSERT_TRUE(WriteWholeFile(renamed, "y"));
  const WideString copy = UninstallerCopyPath(u"Rec Again");
  CreateFolderTree(UninstallFolder());
  ASSERT_TRUE(WriteWholeFile(copy, "old uninstaller"));
  ASSERT_TRUE(MoveFileExW(other.W(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExW(copy.W(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExW(renamed.W(), (folder / u"new.txt").W(), MOVEFILE_DELAY_UNTIL_REBOOT));
  StringList expected = PendingRenameSources();
  ASSERT_TRUE(expected.Contains(copy, true));
  for (int i = expected.Count() - 1; i >= 0; --i)
    if (expected.Item(i).Equals(copy, true)) expected.RemoveAt(i);

  TestInstall install(u"Rec Again", u"C:\\Rec Again\\", {{"setup.dat", ScriptOf({"[Project Name]", "Rec Again"})}});
  WriteUninstallRecord();
  EXPECT_EQ(FileText(copy), "MZ uninstaller of the test installs");  // the prepared one
  const StringList pending = PendingRenameSources();
  ASSERT_EQ(pending.Count(), expected.Count());
  for (int i = 0; i < pending.Count(); ++i) EXPECT_EQ(pending.Item(i), expected.Item(i)) << i;
  ForgetProduct(u"Rec Again");
}

TEST(UninstallRecord, NoUninstallerIsWrittenThatWasNotMadeFromTheInstaller) {
  // This program has no recipe: nothing can be prepared, and a working
  // uninstaller copy from an earlier install stays as it is (no copy of the
  // program whole takes its place).
  TestFolder folder;
  const WideString copy = folder / u"Uninstall-Rec Keep.exe";
  ASSERT_TRUE(WriteWholeFile(copy, "working uninstaller"));
  SetPreparedUninstallerForTests({});
  EXPECT_FALSE(PrepareOwnUninstaller());
  EXPECT_FALSE(WriteUninstallerCopy(copy));
  EXPECT_EQ(FileText(copy), "working uninstaller");
}
