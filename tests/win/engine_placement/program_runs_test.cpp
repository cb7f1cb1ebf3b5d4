#include <gtest/gtest.h>

#include <string>

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "engine/win/program_runs.h"
#include "placement_test_support.h"
#include "scripted_messages.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"

using W = WideString;

namespace {

class ProgramRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    relay_ = folder_ / u"relay.tmp";
    State().RelayPath = relay_;
  }
  void TearDown() override { ResetInstallState(); }

  // Files in the temporary folder whose names end with the text.
  int TempFilesEnding(const W& ending) {
    int count = 0;
    for (const W& name : NamesIn(TempFolder(), W(u"*"), false)) count += name.EndsWith(ending, true) ? 1 : 0;
    return count;
  }

  TestFolder folder_;
  W relay_;
};

}  // namespace

TEST_F(ProgramRuns, StartProcessWaitsAndReportsFailure) {
  const W out = folder_ / u"plain";
  EXPECT_TRUE(StartProcess(W::Format(u"\"%s\" \"%s\"", FixturePath(u"plv_user.exe"), out), true));
  EXPECT_TRUE(ReadMarker(out).ran);
  const bool started = StartProcess(folder_ / u"missing.exe", true);
  const DWORD error = GetLastError();  // taken before any other call
  EXPECT_FALSE(started);
  EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProgramRuns, TempInstallWithAndWithoutBackslashRunsHereAndIsRemoved) {
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"tool.exe", FixtureBytes(u"plv_user.exe")}});
  ASSERT_TRUE(payload.Ready());
  const int before = TempFilesEnding(W(u"tool.exe"));
  const W first = folder_ / u"first";
  const W second = folder_ / u"second";
  // Even after files were placed an extracted program is never handed over.
  UnservedRelay relay(relay_);
  RunProgram(W(u"<TempInstall>tool.exe"), first, true, true, nullptr);
  RunProgram(W(u"<TempInstall>\\tool.exe"), second, true, true, nullptr);
  EXPECT_FALSE(relay.Written());
  const MarkerRun one = ReadMarker(first);
  const MarkerRun two = ReadMarker(second);
  ASSERT_TRUE(one.ran);
  ASSERT_TRUE(two.ran);
  EXPECT_EQ(one.parent, GetCurrentProcessId());
  EXPECT_EQ(two.parent, GetCurrentProcessId());
  EXPECT_TRUE(one.commandLine.EndsWith(W::Format(u"tool.exe\" %s", first), true)) << one.commandLine;
  EXPECT_EQ(TempFilesEnding(W(u"tool.exe")), before);   // extracted copies deleted
  EXPECT_EQ(TempFilesEnding(W(u".tmp-")), 0);          // and their "-" names
  EXPECT_EQ(FileSizeOf(relay_), 0u);  // no command left behind
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, TempInstallMemberMissing) {
  ScriptedMessages messages;
  PublishedTestPayload payload;
  State().Silent = true;  // this message is shown all the same
  RunProgram(W(u"<TempInstall>\\absent.exe"), W(), true, false, nullptr);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, W(u"Cannot extract 'absent.exe', disk may be full."));
  EXPECT_EQ(messages.Last().flags, UINT(MB_OK | MB_ICONERROR));
}

TEST_F(ProgramRuns, AdministratorManifestStaysInTheInstaller) {
  ScriptedMessages messages;
  const W out = folder_ / u"admin";
  UnservedRelay relay(relay_);
  RunProgram(FixturePath(u"plv_admin.exe"), out, true, true, nullptr);
  EXPECT_FALSE(relay.Written());
  const MarkerRun run = ReadMarker(out);
  ASSERT_TRUE(run.ran);
  EXPECT_EQ(run.parent, GetCurrentProcessId());
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, ManifestTextAcrossReadSlicesIsFound) {
  // The program is searched in slices of 1 MiB: the text must be found
  // where it straddles the first or the second slice boundary. Data after
  // the image does not keep the program from running.
  ScriptedMessages messages;
  const std::string program = FixtureBytes(u"plv_user.exe");
  ASSERT_FALSE(program.empty());
  const std::string text = "level=\"requireAdministrator\"";
  for (size_t boundary : {size_t(1) << 20, size_t(2) << 20}) {
    std::string padded = program;
    ASSERT_LT(padded.size() + 20, boundary);
    padded.resize(boundary - 13, '\0');
    padded += text;
    padded.resize(padded.size() + 100, '\0');
    const W path = folder_ / W::Format(u"padded%d.exe", int(boundary >> 20));
    ASSERT_TRUE(WriteWholeFile(path, padded.data(), padded.size()));
    const W out = folder_ / W::Format(u"padded%d", int(boundary >> 20));
    UnservedRelay relay(relay_);
    RunProgram(path, out, true, true, nullptr);
    EXPECT_FALSE(relay.Written()) << "handed over although it asks for administrator rights";
    EXPECT_EQ(ReadMarker(out).parent, GetCurrentProcessId());
  }
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, ProgramWithoutManifestIsHandedToTheFirstProcess) {
  // The helper plays the elevated copy; this test program is its first
  // process and serves the relay file.
  ScriptedMessages messages;
  const W out = folder_ / u"user";
  DWORD helper = 0;
  ASSERT_TRUE(RunHelperServingRelay({W(u"run"), relay_, FixturePath(u"plv_user.exe"), out, W(u"1")}, relay_, 60000,
                                    &helper));
  const MarkerRun run = ReadMarker(out);
  ASSERT_TRUE(run.ran);
  EXPECT_EQ(run.parent, GetCurrentProcessId());
  EXPECT_NE(run.parent, helper);
  EXPECT_FALSE(PathExists(relay_));

  // Before any file was placed it runs in the installer itself.
  const W early = folder_ / u"early";
  ASSERT_TRUE(RunHelperServingRelay({W(u"run"), relay_, FixturePath(u"plv_user.exe"), early, W(u"0")}, relay_,
                                    60000, &helper));
  EXPECT_EQ(ReadMarker(early).parent, helper);
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, HandedOverParametersAreExpandedByTheInstaller) {
  // Only the installer (the helper) knows the install folder; the first
  // process (this program) has none, and must get the parameters expanded.
  ScriptedMessages messages;
  ASSERT_TRUE(State().InstallTo.IsEmpty());
  // Without its final backslash, which would escape the closing quote of
  // the helper's argument; "<Destination>" adds one.
  const W installed = folder_ / u"installed";
  const W installTo = installed + u"\\";
  ASSERT_TRUE(CreateFolderTree(installTo));
  DWORD helper = 0;
  ASSERT_TRUE(RunHelperServingRelay(
      {W(u"run"), relay_, FixturePath(u"plv_user.exe"), W(u"<Destination>marker"), W(u"1"), installed}, relay_,
      60000, &helper));
  const MarkerRun run = ReadMarker(installTo + u"marker");
  ASSERT_TRUE(run.ran);
  EXPECT_EQ(run.parent, GetCurrentProcessId());  // run by the first process
  EXPECT_TRUE(run.commandLine.EndsWith(installTo + u"marker", true)) << run.commandLine;
  DeleteFileW(L"\\marker.ran");  // where an unexpanded "<Destination>" would put it
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, RunElevatedMarker) {
  ScriptedMessages messages;
  DWORD helper = 0;
  const W out = folder_ / u"elevated";
  ASSERT_TRUE(RunHelperServingRelay(
      {W(u"run"), relay_, FixturePath(u"plv_user.exe"), out + u" -RUNELEVATED", W(u"1")}, relay_, 60000, &helper));
  MarkerRun run = ReadMarker(out);
  ASSERT_TRUE(run.ran);
  EXPECT_EQ(run.parent, helper);  // removed, and run in the installer
  EXPECT_EQ(run.commandLine.Find(W(u"RUNELEVATED")), 0) << run.commandLine;

  // Before files were placed the parameters go through unchanged.
  const W early = folder_ / u"early";
  ASSERT_TRUE(RunHelperServingRelay(
      {W(u"run"), relay_, FixturePath(u"plv_user.exe"), early + u" -RUNELEVATED", W(u"0")}, relay_, 60000, &helper));
  run = ReadMarker(early);
  ASSERT_TRUE(run.ran);
  EXPECT_NE(run.commandLine.Find(W(u" -RUNELEVATED")), 0) << run.commandLine;
  EXPECT_EQ(messages.Count(), 0);
}

namespace {

// Stands in for CreateProcessW and the "runas" verb.
struct StartRecord {
  int processCalls = 0;
  W commandLine;
  int runAsCalls = 0;
  W runAsFile;
  W runAsParameters;
};
StartRecord g_starts;

bool NeedsElevation(const W& commandLine, bool) {
  ++g_starts.processCalls;
  g_starts.commandLine = commandLine;
  SetLastError(740);  // ERROR_ELEVATION_REQUIRED
  return false;
}

bool RunAsRecorded(const W& file, const W& parameters, bool) {
  ++g_starts.runAsCalls;
  g_starts.runAsFile = file;
  g_starts.runAsParameters = parameters;
  return true;
}

const ProgramStarters kElevationStarters = {&NeedsElevation, &RunAsRecorded};

}  // namespace

TEST_F(ProgramRuns, ElevationRetryGetsTheExpandedParameters) {
  ScriptedMessages messages;
  State().InstallTo = W(u"C:\\Plove App\\");
  g_starts = StartRecord();
  SetProgramStartersForTests(&kElevationStarters);
  RunProgram(W(u"<Destination>setup.exe"), W(u"\"<Destination>readme.txt\" /q"), true, false, nullptr);
  SetProgramStartersForTests(nullptr);
  EXPECT_EQ(g_starts.processCalls, 1);
  EXPECT_EQ(g_starts.commandLine, W(u"\"C:\\Plove App\\setup.exe\" \"C:\\Plove App\\readme.txt\" /q"));
  ASSERT_EQ(g_starts.runAsCalls, 1);
  EXPECT_EQ(g_starts.runAsFile, W(u"C:\\Plove App\\setup.exe"));
  EXPECT_EQ(g_starts.runAsParameters, W(u"\"C:\\Plove App\\readme.txt\" /q"));
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, UncProgramKeepsItsLeadingPair) {
  ScriptedMessages messages;
  g_starts = StartRecord();
  SetProgramStartersForTests(&kElevationStarters);
  RunProgram(W(u"\\\\server\\share\\setup.exe"), W(u"/s \"\\\\server\\share\\log.txt\""), true, false,
             nullptr);
  SetProgramStartersForTests(nullptr);
  EXPECT_EQ(g_starts.commandLine, W(u"\"\\\\server\\share\\setup.exe\" /s \"\\\\server\\share\\log.txt\""));
  EXPECT_EQ(g_starts.runAsFile, W(u"\\\\server\\share\\setup.exe"));
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, DocumentOpensWithTheShell) {
  // A file type of our own whose open verb is the marker program.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L".plvdoc", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t type[] = L"PloveTestDocument";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(type), sizeof(type));
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"PloveTestDocument\\shell\\open\\command", 0,
                            nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const W command = W::Format(u"\"%s\" \"%%1\"", FixturePath(u"plv_user.exe"));
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.W()), (command.Length() + 1) * 2);
  RegCloseKey(key);

  ScriptedMessages messages;
  const W document = folder_ / u"notes.plvdoc";
  ASSERT_TRUE(WriteWholeFile(document, "text"));
  // Not waited for: should the shell pick another program, the test must
  // not hang on it.
  RunProgram(document, W(), false, false, nullptr);
  EXPECT_TRUE(WaitForFile(document + u".ran", 30000));
  EXPECT_EQ(messages.Count(), 0);
}

TEST_F(ProgramRuns, FailedRunsReportUnlessSilent) {
  ScriptedMessages messages;
  State().InstallerTitle = W(u"Tool Installer");
  const W missing = folder_ / u"missing.exe";
  RunProgram(missing, W(u"/x"), true, false, nullptr);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, W::Format(u"Error whilst running '%s'", missing));
  EXPECT_EQ(messages.Last().caption, W(u"Tool Installer"));
  EXPECT_EQ(messages.Last().flags, UINT(MB_OK | MB_ICONERROR));

  State().Silent = true;
  RunProgram(missing, W(u"/x"), true, false, nullptr);
  EXPECT_EQ(messages.Count(), 1);
}

TEST_F(ProgramRuns, UnstartableProgramLeavesADesktopCopy) {
  ScriptedMessages messages;
  const W broken = folder_ / u"plv_broken_setup.exe";
  ASSERT_TRUE(WriteWholeFile(broken, "this is no program"));
  W desktopCopy(u"<DeskTop>\\plv_broken_setup.exe");
  ExpandFolderMacros(desktopCopy);
  DeleteFileForced(desktopCopy);

  RunProgram(broken, W(u"/quiet"), true, false, nullptr);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text,
            W::Format(u"Error whilst running '%s'\r\n\r\nThe installer has been extracted to your desktop in a file "
                      u"named 'plv_broken_setup.exe' double click this file now (before clicking OK) to manually "
                      u"run it",
                      broken));
  EXPECT_TRUE(PathExists(desktopCopy));  // left for the user

  // Silent: no message, and the copy made here goes again.
  State().Silent = true;
  DeleteFileForced(desktopCopy);
  RunProgram(broken, W(u"/quiet"), true, false, nullptr);
  EXPECT_EQ(messages.Count(), 1);
  EXPECT_FALSE(PathExists(desktopCopy));

  // A file of the same name already on the desktop that cannot be
  // overwritten (held open without write sharing, deletion allowed) makes
  // the copy fail; it is the user's file and stays.
  ASSERT_TRUE(WriteWholeFile(desktopCopy, "user's own file"));
  {
    ScopedFileHandle held(CreateFileW(desktopCopy.W(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    RunProgram(broken, W(u"/quiet"), true, false, nullptr);
  }
  EXPECT_TRUE(PathExists(desktopCopy));
  DeleteFileForced(desktopCopy);
}

TEST_F(ProgramRuns, DesktopCopyNeverTouchesAFileOfTheUser) {
  ScriptedMessages messages;
  const W broken = folder_ / u"plv_user_file.exe";
  ASSERT_TRUE(WriteWholeFile(broken, "this is no program"));
  W userFile(u"<DeskTop>\\plv_user_file.exe");
  ExpandFolderMacros(userFile);
  const W freshCopy = ParentFolder(userFile) + u"plv_user_file (2).exe";
  DeleteFileForced(freshCopy);
  ASSERT_TRUE(WriteWholeFile(userFile, "user's own file"));

  // The copy takes a name of its own, which the message gives.
  RunProgram(broken, W(u"/quiet"), true, false, nullptr);
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_TRUE(messages.Last().text.EndsWith(
      W(u"in a file named 'plv_user_file (2).exe' double click this file now (before clicking OK) to manually run it")))
      << messages.Last().text;
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(userFile, bytes));
  EXPECT_EQ(bytes, "user's own file");
  ASSERT_TRUE(ReadWholeFile(freshCopy, bytes));
  EXPECT_EQ(bytes, "this is no program");
  DeleteFileForced(freshCopy);

  // Silent: the copy made here goes again, the user's file stays.
  State().Silent = true;
  RunProgram(broken, W(u"/quiet"), true, false, nullptr);
  EXPECT_EQ(messages.Count(), 1);
  EXPECT_FALSE(PathExists(freshCopy));
  ASSERT_TRUE(ReadWholeFile(userFile, bytes));
  EXPECT_EQ(bytes, "user's own file");
  DeleteFileForced(userFile);
}

TEST_F(ProgramRuns, ExtractedProgramNameHasNoPrefix) {
  // The extracted copy's name shows in the failure message: a bare number
  // (no "TMP"), "-" and the member's name.
  ScriptedMessages messages;
  PublishedTestPayload payload(PayloadMembers{{"plv_no_program.exe", "this is no program either"}});
  ASSERT_TRUE(payload.Ready());
  RunProgram(W(u"<TempInstall>plv_no_program.exe"), W(u"/x"), true, false, nullptr);
  ASSERT_EQ(messages.Count(), 1);
  const W text = messages.Last().text;
  const W start = W(u"Error whilst running '") + TempFolder();
  ASSERT_TRUE(text.StartsWith(start, true)) << text;
  const W name = text.Mid(start.Length() + 1, text.Find(W(u"'"), start.Length() + 1) - 1);
  EXPECT_TRUE(name.EndsWith(W(u".tmp-plv_no_program.exe"), true)) << name;
  EXPECT_FALSE(name.StartsWith(W(u"TMP"), true)) << name;
  W desktopCopy(u"<DeskTop>\\");
  ExpandFolderMacros(desktopCopy);
  DeleteFileForced(desktopCopy + name);
  DeleteFileForced(TempFolder() + name);
}
