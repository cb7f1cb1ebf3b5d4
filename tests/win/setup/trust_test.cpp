// The real installer against what a standard user can do to an elevated
// install: a DLL planted beside it, its own file swapped while it runs, and
// links put into the folders it cleans up. Under Wine every process is an
// administrator; these tests do what the other user would and check that
// the installer does not follow.

#include <gtest/gtest.h>

#include "access_rules.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/uninstaller_image.h"
#include "install_log_reading.h"
#include "setup_harness.h"
#include "unix_link.h"
#include "util/path_text.h"
#include "util/win/registry.h"
#include "util/win/temp_names.h"
// windows_api.h first
#include <aclapi.h>
#include <sddl.h>

namespace {

const wchar_t kMarker[] = L"C:\\planted-marker.txt";

std::vector<PackSource> Product(const std::string& name, const std::string& installTo,
                                const std::string& extra = std::string(),
                                const std::vector<PackSource>& extraMembers = {}) {
  const std::string script = "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\n" +
                             installTo + "\r\n[UninstallSettings]\r\nPlove Tests\r\n[CopyFile]\r\napp.txt\r\n"
                             "<Destination>app.txt\r\n" + extra;
  std::vector<PackSource> members{{"setup.dat", Bytes(script)}, {"app.txt", Bytes("application data\r\n")}};
  members.insert(members.end(), extraMembers.begin(), extraMembers.end());
  return members;
}

WideString EntryValue(const WideString& name, const WChar* value) {
  return ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(name), WideString(value));
}

// Windows' search order for one DLL, as a program sees it that is started
// from a folder where that DLL was planted: the folder's copy first. (Wine
// prefers its own copies otherwise; its loader takes the order from the
// prefix's registry, not from a Windows parent's environment.)
class PreferDllBesideProgram {
 public:
  explicit PreferDllBesideProgram(const WChar* dll) : dll_(dll) {
    WriteRegistryString(HKEY_CURRENT_USER, WideString(kOverrides), dll_, WideString(u"native,builtin"));
  }
  ~PreferDllBesideProgram() { DeleteRegistryValue(HKEY_CURRENT_USER, WideString(kOverrides), dll_); }
  PreferDllBesideProgram(const PreferDllBesideProgram&) = delete;
  PreferDllBesideProgram& operator=(const PreferDllBesideProgram&) = delete;

 private:
  static constexpr const WChar* kOverrides = u"Software\\Wine\\DllOverrides";
  WideString dll_;
};

bool Plant(const WideString& folder) {
  const std::vector<uint8_t> dll = ReadHostFile(PLOVE_PLANTED_DLL_PATH);
  return WriteWholeFile(folder + u"msimg32.dll", dll.data(), dll.size());
}

bool WaitFor(const WideString& path, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    if (FileExists(path)) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

TEST(Trust, APlantedDllIsNeverLoaded) {
  TestFolder folder;
  DeleteFileW(kMarker);
  const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Planted", "C:\\Plove Planted\\"));
  ASSERT_TRUE(Plant(folder.Path()));
  PreferDllBesideProgram prefer(u"msimg32");
  SetupProcess run(setup, u"--silent");
  ASSERT_TRUE(run.Started());
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(FileExists(u"C:\\Plove Planted\\app.txt"));
  EXPECT_FALSE(FileExists(WideString(kMarker))) << FileBytes(WideString(kMarker));

  // The uninstaller copy's folder, planted too.
  const WideString quiet = EntryValue(u"Plove Planted", u"QuietUninstallString");
  ASSERT_FALSE(quiet.IsEmpty());
  const WideString copy = EntryValue(u"Plove Planted", u"DisplayIcon");
  ASSERT_TRUE(Plant(ParentFolder(copy)));
  const int close = quiet.FindChar(u'"', 2);
  WideString arguments = quiet.From(close + 1);
  arguments.TrimLeadingSpaces();
  SetupProcess uninstall(quiet.Mid(2, close - 1), arguments);
  EXPECT_EQ(uninstall.Wait(), 0u);
  EXPECT_FALSE(FileExists(u"C:\\Plove Planted\\app.txt"));
  EXPECT_FALSE(FileExists(WideString(kMarker))) << FileBytes(WideString(kMarker));
  DeleteFileW((ParentFolder(copy) + u"msimg32.dll").W());
}

TEST(Trust, CleanupNeverFollowsALinkOutOfItsFolders) {
  TestFolder folder;
  // Another user's folder, which a link in the installer's payload folder
  // points at.
  const WideString victim(u"C:\\Plove Victim");
  CreateDirectoryW(victim.W(), nullptr);
  CreateDirectoryW((victim + u"\\sub").W(), nullptr);
  ASSERT_TRUE(WriteWholeFile(victim + u"\\keep.txt", "mine"));
  ASSERT_TRUE(WriteWholeFile(victim + u"\\sub\\keep.txt", "mine too"));
  const WideString started = folder / u"started.txt";
  const std::string wait = "[RunAndWaitFile]\r\n<TempInstall>probe.exe\r\n\"" + started.ToUtf8() + "\" 0 3000\r\n";
  const WideString setup = PackSetup(folder, u"setup.exe",
                                     Product("Plove Linked", "C:\\Plove Linked\\", wait,
                                             {{"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}}));
  SetupProcess run(setup, u"--silent");
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(WaitFor(started, 60000));
  // Every payload folder of the run, the elevated copy's among them.
  int linked = 0;
  for (const WideString& name : run.Leftovers()) {
    const WideString path = TempFolder() + name;
    const DWORD attributes = GetFileAttributesW(path.W());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    EXPECT_TRUE(MakeUnixLink(path + u"\\link", victim)) << path;
    ++linked;
  }
  EXPECT_GT(linked, 0);
  EXPECT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(FileExists(u"C:\\Plove Linked\\app.txt"));
  EXPECT_EQ(FileBytes(victim + u"\\keep.txt"), "mine");
  EXPECT_EQ(FileBytes(victim + u"\\sub\\keep.txt"), "mine too");
}

namespace {

// A product whose install waits for a probe before it places anything.
std::vector<PackSource> WaitingProduct(const std::string& name, const WideString& started) {
  const std::string script = "[Project Name]\r\n" + name + "\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\nC:\\" +
                             name + "\\\r\n[UninstallSettings]\r\nPlove Tests\r\n[RunAndWaitFile]\r\n"
                             "<TempInstall>probe.exe\r\n\"" + started.ToUtf8() + "\" 0 3000\r\n"
                             "[CopyFile]\r\napp.txt\r\n<Destination>app.txt\r\n";
  return {{"setup.dat", Bytes(script)}, {"app.txt", Bytes("application data\r\n")},
          {"probe.exe", ReadHostFile(PLOVE_PROBE_PATH)}};
}

// The uninstaller the installer's own recipe makes from its own file.
std::string UninstallerOf(const WideString& installer) {
  ScopedModule module(LoadLibraryExW(installer.W(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ScopedFileHandle file(CreateFileW(installer.W(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::vector<uint8_t> image;
  EXPECT_TRUE(module && file && UninstallerImageOf(module.Get(), file.Get(), image)) << installer;
  return std::string(image.begin(), image.end());
}

}  // namespace

TEST(Trust, AProgramSwappedInAtTheInstallersPathIsNeverTheUninstaller) {
  TestFolder folder;
  const WideString started = folder / u"started.txt";
  const WideString setup = PackSetup(folder, u"setup.exe", WaitingProduct("Plove Swapped", started));
  const std::string expected = UninstallerOf(setup);
  const std::vector<uint8_t> other = ReadHostFile(PLOVE_HELLO_APP_PATH);
  SetupProcess run(setup, u"--silent");
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(WaitFor(started, 60000));
  // The run is live, its journal written: the installer's file goes aside
  // and another program takes its name, if the file system lets it.
  const bool renamed = MoveFileExW(setup.W(), (setup + u".old").W(), 0) != FALSE;
  if (renamed) {
    EXPECT_TRUE(WriteWholeFile(setup, other.data(), other.size()));
  }
  const DWORD code = run.Wait();
  if (code == 0) {
    const std::string copy = FileBytes(EntryValue(u"Plove Swapped", u"DisplayIcon"));
    EXPECT_TRUE(copy == expected) << (renamed ? "renamed" : "not renamed") << ", copy of " << copy.size()
                                  << " bytes, the uninstaller has " << expected.size();
  } else {
    EXPECT_EQ(code, 1603u);
    EXPECT_FALSE(FileExists(u"C:\\Plove Swapped\\app.txt"));
  }
  EXPECT_FALSE(renamed) << "the running installer's file could be renamed";
}

TEST(Trust, AnInstallerWhoseUninstallerCannotBeMadeChangesNothing) {
  TestFolder folder;
  const WideString setup = PackSetup(folder, u"setup.exe", Product("Plove Damaged", "C:\\Plove Damaged\\"));
  // One byte of the DOS stub's text: the program still runs and its payload
  // is whole, but its uninstaller would not be what the packer made.
  std::string bytes = FileBytes(setup);
  const size_t text = bytes.find("DOS mode");
  ASSERT_NE(text, std::string::npos);
  bytes[text] = 'd';
  ASSERT_TRUE(WriteWholeFile(setup, bytes.data(), bytes.size()));
  SetupProcess run(setup, u"--silent");
  EXPECT_EQ(run.Wait(), 1603u);
  EXPECT_FALSE(FileExists(u"C:\\Plove Damaged\\app.txt"));
  EXPECT_FALSE(FileExists(u"C:\\Plove Damaged"));
  EXPECT_TRUE(EntryValue(u"Plove Damaged", u"UninstallString").IsEmpty());
  EXPECT_FALSE(FileExists(UninstallerCopyPath(u"Plove Damaged")));
}

TEST(Trust, AProductFolderMadeOutsideProgramFilesIsProtected) {
  TestFolder folder;
  const WideString log = folder / u"install.log";
  // A member too large to be held in memory is decoded beside its
  // destination from the start: its folder is made by a decoding thread.
  std::vector<uint8_t> large(8u << 20);
  uint32_t seed = 1;
  for (uint8_t& byte : large) byte = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  const WideString setup =
      PackSetup(folder, u"setup.exe",
                Product("Plove Guarded", "C:\\Plove Guarded\\Deep\\",
                        "[CopyFile]\r\nlarge.bin\r\n<Destination>data\\large.bin\r\n", {{"large.bin", large}}));
  SetupProcess run(setup, u"--silent --log=\"" + log + u"\"");
  ASSERT_EQ(run.Wait(), 0u);
  EXPECT_TRUE(FileExists(u"C:\\Plove Guarded\\Deep\\app.txt"));
  // The topmost level the run made carries the rules; Wine shows them as
  // the owner's and SYSTEM's access alone (no "others" in the Unix mode).
  const std::vector<InstallLogLine> lines = ReadInstallLog(log);
  const std::vector<InstallLogLine> guarded = LinesOfKind(lines, u"folder protected");
  ASSERT_EQ(guarded.size(), 1u);
  EXPECT_EQ(guarded[0].detail, WideString(u"C:\\Plove Guarded"));
  const WideString rules = DaclTextOf(WideString(u"C:\\Plove Guarded\\Deep"));
  ASSERT_FALSE(rules.IsEmpty());
  EXPECT_EQ(rules.Find(WideString(u"FA;;;WD)")), 0) << rules.ToUtf8();

  // Installed again: the folder exists, keeps its rules, and the log says
  // so when others may write it (under Wine the owner is an ordinary user).
  const WideString again = folder / u"again.log";
  SetupProcess second(setup, u"--silent --log=\"" + again + u"\"");
  ASSERT_EQ(second.Wait(), 0u);
  EXPECT_TRUE(LinesOfKind(ReadInstallLog(again), u"folder protected").empty());
}

TEST(Trust, ALinkInTheProductFolderIsRefused) {
  TestFolder folder;
  // A product folder that others could write, where one of them put a link
  // into another folder in place of the product's sub-folder.
  const WideString victim(u"C:\\Plove Elsewhere");
  CreateDirectoryW(victim.W(), nullptr);
  CreateDirectoryW(L"C:\\Plove Linked Product", nullptr);
  ASSERT_TRUE(MakeUnixLink(u"C:\\Plove Linked Product\\data", victim));
  const std::string extra = "[CopyFile]\r\nlib.txt\r\n<Destination>data\\lib.txt\r\n";
  const WideString setup = PackSetup(folder, u"setup.exe",
                                     Product("Plove Linked Product", "C:\\Plove Linked Product\\", extra,
                                             {{"lib.txt", Bytes("library\r\n")}}));
  SetupProcess run(setup, u"--silent");
  EXPECT_EQ(run.Wait(), 1603u);
  EXPECT_FALSE(FileExists(victim + u"\\lib.txt"));
  // Rolled back: the file placed before it is gone again.
  EXPECT_FALSE(FileExists(u"C:\\Plove Linked Product\\app.txt"));
  EXPECT_TRUE(EntryValue(u"Plove Linked Product", u"UninstallString").IsEmpty());
}

TEST(Trust, TheUninstallerDeletesNothingThroughALink) {
  TestFolder folder;
  const std::string extra = "[CopyFile]\r\nlib.txt\r\n<Destination>data\\lib.txt\r\n";
  const WideString setup = PackSetup(folder, u"setup.exe",
                                     Product("Plove Relinked", "C:\\Plove Relinked\\", extra,
                                             {{"lib.txt", Bytes("library\r\n")}}));
  SetupProcess install(setup, u"--silent");
  ASSERT_EQ(install.Wait(), 0u);
  ASSERT_TRUE(FileExists(u"C:\\Plove Relinked\\data\\lib.txt"));
  // Another user who may write the product folder swaps its sub-folder for
  // a link to a folder of the system holding a file of the same name.
  const WideString victim(u"C:\\Plove System");
  CreateDirectoryW(victim.W(), nullptr);
  ASSERT_TRUE(WriteWholeFile(victim + u"\\lib.txt", "system file"));
  ASSERT_TRUE(DeleteFileW(L"C:\\Plove Relinked\\data\\lib.txt"));
  ASSERT_TRUE(RemoveDirectoryW(L"C:\\Plove Relinked\\data"));
  ASSERT_TRUE(MakeUnixLink(u"C:\\Plove Relinked\\data", victim));
  const WideString quiet = EntryValue(u"Plove Relinked", u"QuietUninstallString");
  const int close = quiet.FindChar(u'"', 2);
  WideString arguments = quiet.From(close + 1);
  arguments.TrimLeadingSpaces();
  SetupProcess uninstall(quiet.Mid(2, close - 1), arguments);
  EXPECT_EQ(uninstall.Wait(), 0u);
  EXPECT_EQ(FileBytes(victim + u"\\lib.txt"), "system file");
  EXPECT_FALSE(FileExists(u"C:\\Plove Relinked\\app.txt"));
}
