// A 64-bit product's system file: placed in the real 64-bit system folder
// (never in SysWOW64) and registered by a regsvr32 that can load it, by
// either build of the installer, and removed from there by its uninstaller.

#include <gtest/gtest.h>

#include <memory>

#include "engine/win/uninstall_record.h"
#include "rollback/journal_records.h"
#include "setup_harness.h"
#include "util/path_text.h"
#include "util/win/registry.h"

namespace {

const wchar_t kMarkerKey[] = L"Software\\PloveTest";  // written by the fixture DLL

// The real 64-bit system folder as this process names it.
WideString NativeSystemFolder() {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
#ifdef _WIN64
  return WideString(windows) + u"\\system32\\";
#else
  return WideString(windows) + u"\\Sysnative\\";
#endif
}

WideString Wow64SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? WideString(folder) + u"\\" : WideString();
}

// The fixture's mark: 1 registered in-process, 2 by regsvr32, 0 none.
DWORD RegistrationMark() {
  DWORD value = 0, size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kMarkerKey, L"Registered", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return 0;
  return value;
}

bool On64BitWindowsWith32BitPart() {
  return !Wow64SystemFolder().IsEmpty() && FileExists(Wow64SystemFolder() + u"kernel32.dll");
}

}  // namespace

TEST(Wow64SystemFolder, A64BitProductsSystemFileGoesToTheRealSystemFolderAndBack) {
  if (!On64BitWindowsWith32BitPart()) GTEST_SKIP() << "not 64-bit Windows with its 32-bit part";
  if (!FileExists(HostPath(PLOVE_REGISTER_DLL64_PATH))) GTEST_SKIP() << "no 64-bit DLL at " << PLOVE_REGISTER_DLL64_PATH;
  RegDeleteKeyW(HKEY_CURRENT_USER, kMarkerKey);
  TestFolder folder;
  // [Windows Version] 4: a 64-bit install.
  const std::string script =
      "[Project Name]\r\nPlove Native\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\nC:\\Plove Native\\\r\n"
      "[Windows Version]\r\n4\r\n[UninstallSettings]\r\nPlove Tests\r\n"
      "[CopyFile]\r\nreg64.dll\r\n<System>plv-native64.dll\r\n"
      "[CopyFile]\r\nnote.txt\r\n<System>plv-native64\\note.txt\r\n";
  const WideString setup = PackSetup(folder, u"native.exe",
                                     {{"setup.dat", Bytes(script)},
                                      {"reg64.dll", ReadHostFile(PLOVE_REGISTER_DLL64_PATH)},
                                      {"note.txt", Bytes("native\r\n")}});
  {
    SetupProcess run(setup, u"--silent");
    ASSERT_EQ(run.Wait(), 0u);
  }
  const WideString native = NativeSystemFolder(), wow64 = Wow64SystemFolder();
  EXPECT_TRUE(FileExists(native + u"plv-native64.dll"));
  EXPECT_EQ(FileBytes(native + u"plv-native64\\note.txt"), "native\r\n");
  EXPECT_FALSE(FileExists(wow64 + u"plv-native64.dll"));
  EXPECT_FALSE(FileExists(wow64 + u"plv-native64\\note.txt"));
  EXPECT_NE(RegistrationMark(), 0u) << "the 64-bit DLL was not registered";

  const WideString quiet = ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Native"),
                                              WideString(u"QuietUninstallString"));
  ASSERT_FALSE(quiet.IsEmpty());
  EXPECT_EQ(RunEntryCommand(quiet, 60000), 0u);
  EXPECT_FALSE(FileExists(native + u"plv-native64.dll"));
  EXPECT_FALSE(FileExists(native + u"plv-native64\\note.txt"));
  EXPECT_EQ(RegistrationMark(), 0u) << "the 64-bit DLL was not unregistered";
  EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Native"), WideString(u"UninstallString"))
                  .IsEmpty());
}

TEST(Wow64SystemFolder, AFailed64BitInstallPutsTheRealSystemFileBack) {
  if (!On64BitWindowsWith32BitPart()) GTEST_SKIP() << "not 64-bit Windows with its 32-bit part";
  const WideString native = NativeSystemFolder(), wow64 = Wow64SystemFolder();
  const WideString old = native + u"plv-native64-old.txt";
  const std::string oldBytes = "the product before\r\n";
  ASSERT_TRUE(WriteWholeFile(old, oldBytes.data(), oldBytes.size()));
  TestFolder folder;
  // The second member is not in the installer: its extraction fails and the
  // run is undone.
  const std::string script =
      "[Project Name]\r\nPlove Native Fails\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\nC:\\Plove Native Fails\\\r\n"
      "[Windows Version]\r\n4\r\n"
      "[CopyFile]\r\nnew.txt\r\n<System>plv-native64-old.txt\r\n"
      "[CopyFile]\r\nmissing.txt\r\n<System>plv-native64-missing.txt\r\n";
  SetupProcess run(PackSetup(folder, u"fails.exe", {{"setup.dat", Bytes(script)}, {"new.txt", Bytes("new\r\n")}}),
                   u"--silent");
  EXPECT_EQ(run.Wait(), 1603u);
  EXPECT_EQ(FileBytes(old), oldBytes);
  EXPECT_FALSE(FileExists(wow64 + u"plv-native64-old.txt"));
  EXPECT_FALSE(FileExists(native + u"plv-native64-missing.txt"));
  DeleteFileW(old.W());
}

// An install of a 64-bit product that was cut short leaves its journal in
// the 64-bit uninstaller folder: the product's uninstaller finds it there,
// undoes it first, then removes the product.
TEST(Wow64SystemFolder, A64BitProductsUninstallerUndoesAnInterruptedRunFirst) {
  if (!On64BitWindowsWith32BitPart()) GTEST_SKIP() << "not 64-bit Windows with its 32-bit part";
  TestFolder folder;
  const std::string script =
      "[Project Name]\r\nPlove Native Cut\r\n[ProgramVersion]\r\n1.0\r\n[Install To]\r\nC:\\Plove Native Cut\\\r\n"
      "[Windows Version]\r\n4\r\n[UninstallSettings]\r\nPlove Tests\r\n[CopyFile]\r\nnote.txt\r\n<Destination>note.txt\r\n";
  {
    SetupProcess run(PackSetup(folder, u"cut.exe", {{"setup.dat", Bytes(script)}, {"note.txt", Bytes("note\r\n")}}),
                     u"--silent");
    ASSERT_EQ(run.Wait(), 0u);
  }
  const WideString uninstall = ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Native Cut"),
                                                  WideString(u"UninstallString"));
  const WideString records = ParentFolder(UninstallRecordArgument(uninstall));
  ASSERT_FALSE(records.IsEmpty());
  // What the cut run had made: a file outside what the record lists.
  const WideString extra(u"C:\\Plove Native Cut\\extra.txt");
  ASSERT_TRUE(WriteWholeFile(extra, "of the cut run"));
  std::vector<uint8_t> bytes;
  AppendJournalHeader(bytes);
  JournalRecord begin;
  begin.kind = JournalKind::Begin;
  begin.path = u"Plove Native Cut";
  begin.other = u"C0FFEE";
  JournalRecord created;
  created.kind = JournalKind::FileCreated;
  created.path = extra;
  AppendJournalRecord(begin, bytes);
  AppendJournalRecord(created, bytes);
  WideString journal = records;
  AddBackslash(journal);
  journal += u"PloveRollback-Plove Native Cut.dat";
  ASSERT_TRUE(WriteWholeFile(journal, bytes.data(), bytes.size()));

  const WideString quiet = ReadRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Native Cut"),
                                              WideString(u"QuietUninstallString"));
  ASSERT_FALSE(quiet.IsEmpty());
  EXPECT_EQ(RunEntryCommand(quiet, 60000), 0u);
  EXPECT_FALSE(FileExists(extra));
  EXPECT_FALSE(FileExists(journal));
  EXPECT_FALSE(FileExists(u"C:\\Plove Native Cut\\note.txt"));
}
