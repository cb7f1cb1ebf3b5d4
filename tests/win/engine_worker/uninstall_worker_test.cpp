#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "engine/win/pending_renames.h"
#include "engine/win/uninstall_record.h"
#include "pending_restart.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "uninstall/win/empty_folders.h"
#include "uninstall/win/record_product.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"
#include "worker_test_support.h"

namespace {

// A product as an install leaves it: its record in the uninstaller folder
// and its "InstallTo" value (none when installTo is empty).
WideString RegisterProduct(const WideString& name, const WideString& installTo, const std::string& record) {
  CreateFolderTree(UninstallFolder());
  const WideString path = UninstallRecordPathFor(name);
  EXPECT_TRUE(WriteWholeFile(path, record.c_str()));
  if (!installTo.IsEmpty())
    WriteRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(name), u"InstallTo", installTo);
  return WideString::Format(u"\"C:\\x\\Uninstall-%s.exe\" --uninstall=\"%s\"", name, path);
}

void Forget(const WideString& name) {
  DeleteFileW(UninstallRecordPathFor(name).W());
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(kUninstallKeyParent), name);
}

void Touch(const WideString& path) {
  CreateFolderTree(path.Left(path.FindLast(u'\\')));
  EXPECT_TRUE(WriteWholeFile(path, "x"));
}

}  // namespace

TEST(UninstallWorker, FilesThatAnotherProductListsStay) {
  const WideString common(u"C:\\Program Files (x86)\\Plove Common\\common.txt");
  for (const char16_t* file : {u"C:\\Suite\\shared.txt", u"C:\\Suite\\a.txt", u"C:\\Suite\\c-only.txt",
                               u"C:\\Suite\\tool.exe"})
    Touch(file);
  Touch(common);
  const WideString uninstallA = RegisterProduct(
      u"Share A", u"C:\\Suite\\",
      ScriptOf({"[CopyFile]", "s", "<Destination>shared.txt", "[CopyFile]", "a", "<Destination>a.txt",
                "[CopyFile]", "a", "<Destination>A.TXT", "[CopyFile]", "c", "<Destination>c-only.txt",
                "[CopyFile]", "m", "<Program Files>Plove Common\\common.txt",
                "[CopyFile]", "t", "<Destination>tool__PLI_WIN64.exe",
                "[Registry]", "HKLM", "Software\\PloveTests\\NoSuchKey", "STRING", "v", "d"}));
  // B has the same folder (stored without its trailing backslash).
  RegisterProduct(u"Share B", u"C:\\Suite", ScriptOf({"[CopyFile]", "s", "<Destination>shared.txt"}));
  // C has no "InstallTo": its destination-relative entries protect nothing,
  // its other entries do.
  RegisterProduct(u"Share C", WideString(),
                  ScriptOf({"[CopyFile]", "c", "<Destination>c-only.txt", "[CopyFile]", "m",
                            "<Program Files>Plove Common\\common.txt"}));
  ScriptedMessages messages(IDOK);
  RunUninstall(uninstallA);

  EXPECT_TRUE(Exists(u"C:\\Suite\\shared.txt"));
  EXPECT_TRUE(Exists(common));
  EXPECT_FALSE(Exists(u"C:\\Suite\\a.txt"));
  EXPECT_FALSE(Exists(u"C:\\Suite\\c-only.txt"));
  EXPECT_FALSE(Exists(u"C:\\Suite\\tool.exe"));
  EXPECT_FALSE(Exists(UninstallRecordPathFor(u"Share A")));
  EXPECT_TRUE(Exists(UninstallRecordPathFor(u"Share B")));
  EXPECT_TRUE(Exists(UninstallRecordPathFor(u"Share C")));
  // A registry entry whose key is gone leaves the key behind, empty.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, WideString(u"Software\\PloveTests\\NoSuchKey")));
  {
    MutexGuard guard(State().ProgressLock);
    EXPECT_EQ(State().ProgressTotal, 6);  // every "[CopyFile]" line counts
    EXPECT_EQ(State().ProgressDone, 3);   // a.txt once, c-only.txt, tool.exe
  }
  EXPECT_FALSE(State().UninstallRebootRequired);
  EXPECT_EQ(messages.Count(), 0);

  DeleteFolderTree(u"C:\\Suite");
  DeleteFolderTree(u"C:\\Program Files (x86)\\Plove Common");
  Forget(u"Share B");
  Forget(u"Share C");
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(u"Software"), WideString(u"PloveTests"));
}

TEST(UninstallWorker, RecordNamedWithoutItsFolderStillProtectsSharedFiles) {
  // The record is named relative to the current folder (the uninstaller
  // folder): the other records there are still found.
  Touch(u"C:\\Rel Suite\\shared.txt");
  Touch(u"C:\\Rel Suite\\own.txt");
  RegisterProduct(u"Rel A", u"C:\\Rel Suite\\",
                  ScriptOf({"[CopyFile]", "s", "<Destination>shared.txt", "[CopyFile]", "o", "<Destination>own.txt"}));
  RegisterProduct(u"Rel B", u"C:\\Rel Suite\\", ScriptOf({"[CopyFile]", "s", "<Destination>shared.txt"}));
  wchar_t saved[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(UninstallFolder().W()));
  ScriptedMessages messages(IDOK);
  RunUninstall(u"\"Uninstall-Rel A.exe\" --uninstall=\"PloveUninstall-Rel A.dat\"");
  SetCurrentDirectoryW(saved);

  EXPECT_TRUE(Exists(u"C:\\Rel Suite\\shared.txt"));
  EXPECT_FALSE(Exists(u"C:\\Rel Suite\\own.txt"));
  EXPECT_FALSE(Exists(UninstallRecordPathFor(u"Rel A")));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Rel A")));
  EXPECT_EQ(messages.Count(), 0);
  DeleteFolderTree(u"C:\\Rel Suite");
  Forget(u"Rel B");
}

TEST(UninstallWorker, FileInUseGoesAtRestart) {
  Touch(u"C:\\Lock App\\locked.txt");
  Touch(u"C:\\Lock App\\free.txt");
  const WideString uninstall = RegisterProduct(
      u"Lock App", u"C:\\Lock App\\",
      ScriptOf({"[CopyFile]", "l", "<Destination>locked.txt", "[CopyFile]", "f", "<Destination>free.txt",
                "[UninstallAction]", "<Destination>missing.exe", ""}));
  HANDLE open = CreateFileW(L"C:\\Lock App\\locked.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  ScriptedMessages messages(IDOK);
  RunUninstall(uninstall);
  CloseHandle(open);

  EXPECT_TRUE(State().UninstallRebootRequired);
  EXPECT_TRUE(PendingRenameSources().Contains(WideString(u"C:\\Lock App\\locked.txt"), true));
  EXPECT_FALSE(Exists(u"C:\\Lock App\\free.txt"));
  // An uninstall action that cannot start is reported and the run goes on.
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, WideString(u"Error whilst running 'C:\\Lock App\\missing.exe'."));
  EXPECT_EQ(messages.Last().caption, WideString(u"UnInstaller"));
  EXPECT_EQ(messages.Last().flags, static_cast<UINT>(MB_ICONERROR));
  DeleteFolderTree(u"C:\\Lock App");
}

// What an interrupted install may have left beside the product's files:
// the hidden temporary files of its members go with the folder, and a
// replacement staged for the restart is taken back with its staged copy.
TEST(UninstallWorker, LeftTemporaryFilesAndStagedReplacementsGo) {
  Touch(u"C:\\Left App\\Sub\\a.txt");
  Touch(u"C:\\Left App\\b.dll");
  for (const char16_t* left : {u"C:\\Left App\\Sub\\~PLI0A1B2C3D.tmp", u"C:\\Left App\\~PLI77AB12t-00C0FFEE.tmp"}) {
    Touch(left);
    SetFileAttributesW(WideString(left).W(), FILE_ATTRIBUTE_HIDDEN);
  }
  Touch(u"C:\\Left App\\b.dll-PLITMP");
  ASSERT_TRUE(ScheduleMoveAtRestart(u"C:\\Left App\\b.dll", WideString()));
  ASSERT_TRUE(ScheduleMoveAtRestart(u"C:\\Left App\\b.dll-PLITMP", u"C:\\Left App\\b.dll"));
  const WideString uninstall = RegisterProduct(
      u"Left App", u"C:\\Left App\\",
      ScriptOf({"[CopyFile]", "a", "<Destination>Sub\\a.txt", "[CopyFile]", "b", "<Destination>b.dll"}));
  ScriptedMessages messages(IDOK);
  RunUninstall(uninstall);
  EXPECT_FALSE(Exists(u"C:\\Left App"));
  const StringList pending = PendingRenameSources();
  EXPECT_FALSE(pending.Contains(WideString(u"C:\\Left App\\b.dll"), true));
  EXPECT_FALSE(pending.Contains(WideString(u"C:\\Left App\\b.dll-PLITMP"), true));
  DeleteFolderTree(u"C:\\Left App");
}

TEST(UninstallWorker, MissingRecordChangesNothing) {
  WriteRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Gone App"), u"InstallTo", u"C:\\Gone\\");
  ScriptedMessages messages(IDOK);
  RunUninstall(u"\"u.exe\" --uninstall=\"<Program Files>PloveUninstall\\PloveUninstall-Gone App.dat\"");
  EXPECT_EQ(State().UninstallRecordPath, UninstallRecordPathFor(u"Gone App"));
  EXPECT_EQ(LastOutcome(), InstallOutcome::Failed);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Gone App")));
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, u"Unable to open the uninstall record '" + UninstallRecordPathFor(u"Gone App") +
                                      u"', nothing has been removed.");
  EXPECT_EQ(messages.Last().flags, static_cast<UINT>(MB_ICONERROR));
  Forget(u"Gone App");
}

// An action's program is started by its own path, whatever the blanks in
// it: not "C:\Plove.exe" for "C:\Plove Act\tool.exe".
TEST(UninstallWorker, ActionProgramIsQuoted) {
  const std::string tool = SiblingFileBytes(L"fake_tool.exe");
  CreateFolderTree(u"C:\\Plove Act");
  ASSERT_TRUE(WriteWholeFile(u"C:\\Plove Act\\tool.exe", tool.data(), tool.size()));
  ASSERT_TRUE(WriteWholeFile(u"C:\\Plove.exe", "not a program"));
  const WideString log(u"C:\\Plove Act\\log.txt");
  SetEnvironmentVariableW(L"PLOVE_FAKE_LOG", log.W());
  const WideString uninstall = RegisterProduct(
      u"Act App", u"C:\\Plove Act\\", ScriptOf({"[UninstallAction]", "<Destination>tool.exe", ""}));
  ScriptedMessages messages(IDOK);
  RunUninstall(uninstall);
  SetEnvironmentVariableW(L"PLOVE_FAKE_LOG", nullptr);
  EXPECT_EQ(FileText(log), "\"C:\\Plove Act\\tool.exe\"\n");
  EXPECT_EQ(messages.Count(), 0);
  DeleteFileW(L"C:\\Plove.exe");
  DeleteFolderTree(u"C:\\Plove Act");
}

TEST(UninstallWorker, RecordNamesAndInstallFolders) {
  EXPECT_EQ(ProductNameFromRecord(u"C:\\U\\PloveUninstall-App.dat"), WideString(u"App"));
  EXPECT_EQ(ProductNameFromRecord(u"C:\\U-1\\PloveUninstall-My-App.dat"), WideString(u"My-App"));
  EXPECT_EQ(ProductNameFromRecord(u"C:\\U\\record.dat"), WideString(u"record"));
  WriteRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Folder App"), u"InstallTo", u"D:\\Apps\\Tool");
  EXPECT_EQ(ReadInstallFolder(u"Folder App"), WideString(u"D:\\Apps\\Tool\\"));
  EXPECT_EQ(ReadInstallFolder(u"No Such App"), WideString(u"Q:\\invalid\\"));
  Forget(u"Folder App");
  Forget(u"No Such App");
}

TEST(UninstallWorker, EmptyFolderClimb) {
  ResetInstallState();
  // Both levels go; the drive root ends the climb.
  ASSERT_TRUE(CreateFolderTree(u"C:\\Tools\\App"));
  RemoveEmptyFolders(u"C:\\Tools\\App\\");
  EXPECT_FALSE(Exists(u"C:\\Tools"));

  // A folder that still holds a file stays, and the climb goes on past it.
  ASSERT_TRUE(CreateFolderTree(u"C:\\Outer\\Keep\\Empty"));
  Touch(u"C:\\Outer\\Keep\\file.txt");
  RemoveEmptyFolders(u"C:\\Outer\\Keep\\Empty");
  EXPECT_FALSE(Exists(u"C:\\Outer\\Keep\\Empty"));
  EXPECT_TRUE(Exists(u"C:\\Outer\\Keep\\file.txt"));
  DeleteFolderTree(u"C:\\Outer");

  // The listed folders are never removed, even when empty.
  WideString quickLaunch(u"<QuickLaunch>");
  ExpandFolderMacros(quickLaunch);
  ASSERT_TRUE(CreateFolderTree(quickLaunch + u"Sub"));
  RemoveEmptyFolders(quickLaunch + u"Sub\\");
  EXPECT_FALSE(Exists(quickLaunch + u"Sub"));
  EXPECT_TRUE(Exists(quickLaunch.Left(quickLaunch.Length() - 1)));

  // A 64-bit product's file in the 32-bit tree takes neither that tree's
  // program folder nor its shared-files folder with it, empty as they are.
  const WideString key(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  const WChar* const names[] = {u"ProgramFilesDir", u"CommonFilesDir"};
  const WideString folders[] = {u"C:\\Plove PF32", u"C:\\Plove PF32\\Common Files"};
  WideString saved[2];
  for (int i = 0; i < 2; ++i) {
    saved[i] = ReadRegistryString(HKEY_LOCAL_MACHINE, key, WideString(names[i]));
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, key, WideString(names[i]), folders[i]));
  }
  State().Install64Bit = true;
  ASSERT_TRUE(CreateFolderTree(folders[1] + u"\\Vendor"));
  RemoveEmptyFolders(folders[1] + u"\\Vendor\\");
  EXPECT_FALSE(Exists(folders[1] + u"\\Vendor"));
  EXPECT_TRUE(Exists(folders[1]));
  ASSERT_TRUE(CreateFolderTree(folders[0] + u"\\Vendor"));
  RemoveEmptyFolders(folders[0] + u"\\Vendor");
  EXPECT_FALSE(Exists(folders[0] + u"\\Vendor"));
  EXPECT_TRUE(Exists(folders[0]));
  for (int i = 0; i < 2; ++i) WriteRegistryString(HKEY_LOCAL_MACHINE, key, WideString(names[i]), saved[i]);
  DeleteFolderTree(folders[0]);
  ResetInstallState();
}

TEST(UninstallWorker, RecordEndingInsideAnEntry) {
  // The product has no "InstallTo" value, so "<Destination>" names nothing
  // real; the record opens with a very long line, lists a very long DLL
  // path and ends inside an entry.
  const std::string huge(100000, 'x');
  const WideString cutKey(u"Software\\PloveTests\\CutRecord");
  const char* const tails[] = {
      "[UninstallAction]",  "[UninstallAction]\r\n<Destination>setup.exe",
      "[CopyFile]",         "[CopyFile]\r\nm",
      "[CreateIcon]\r\nt",  "[Registry]\r\nHKLM\r\nSoftware\\PloveTests\\CutRecord",
  };
  for (const char* tail : tails) {
    Touch(u"C:\\Cut App\\plain.txt");
    Touch(u"C:\\Cut App\\kept.txt");
    const std::string record =
        huge + "\r\n" +
        ScriptOf({"[CopyFile]", "k", "<Destination>kept.txt", "[CopyFile]", "p", "C:\\Cut App\\plain.txt",
                  "[CopyFile]", "h", "<Destination>" + huge + ".dll"}) +
        tail;
    const WideString uninstall = RegisterProduct(u"Cut App", WideString(), record);
    ScriptedMessages messages(IDOK);
    RunUninstall(uninstall);

    EXPECT_FALSE(Exists(u"C:\\Cut App\\plain.txt")) << tail;
    EXPECT_TRUE(Exists(u"C:\\Cut App\\kept.txt")) << tail;
    EXPECT_FALSE(Exists(UninstallRecordPathFor(u"Cut App"))) << tail;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Cut App"))) << tail;
    EXPECT_FALSE(State().UninstallRebootRequired) << tail;
    if (std::string(tail).find("setup.exe") != std::string::npos) {
      ASSERT_EQ(messages.Count(), 1);
      EXPECT_EQ(messages.Last().text, WideString(u"Error whilst running 'Q:\\invalid\\setup.exe'."));
    } else {
      EXPECT_EQ(messages.Count(), 0) << tail;
    }
  }
  // The cut "[Registry]" entry left its key behind, created empty.
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, cutKey));
  DeleteFolderTree(u"C:\\Cut App");
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(u"Software"), WideString(u"PloveTests"));
}
