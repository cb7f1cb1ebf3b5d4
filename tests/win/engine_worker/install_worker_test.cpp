#include <gtest/gtest.h>

#include "app/install_state.h"
#include "engine/win/folder_macros.h"
#include "engine/win/install_worker.h"
#include "engine/win/uninstall_record.h"
#include "engine/win/worker_removal_offer.h"
#include "scripted_messages.h"
#include "test_folder.h"
#include "unix_link.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/message_door.h"
#include "util/win/registry.h"
#include "util/win/windows_api.h"
#include "worker_test_support.h"
// windows_api.h first
#include <objbase.h>

namespace {

const WideString kKey(u"Software\\PloveTests\\Registry");

}  // namespace

TEST(InstallWorker, RegistryValuesOfEveryRootAndType) {
  const std::string script = ScriptOf({
      "[Registry]", "HKCR", "PloveTests.Class", "STRING", "", "<Destination>",
      "[Registry]", "HKCU", "Software\\PloveTests\\Registry", "STRING", "UserText", "at <Destination>",
      "[Registry]", "HKCU", "Software\\PloveTests\\Registry", "DWORD", "UserNumber", "41",
      "[Registry]", "HKLM", "Software\\PloveTests\\Registry", "DWORD", "Twelve", "12abc",
      "[Registry]", "HKLM", "Software\\PloveTests\\Registry", "SomeType", "Other", "plain",
      "[Registry]", "HKCC", "Software\\PloveTests\\Registry", "STRING", "Config", "c",
      "[Registry]", "HKU", ".DEFAULT\\Software\\PloveTests\\Registry", "STRING", "Users", "u",
      "[Registry]", "hklm", "Software\\PloveTests\\Registry", "STRING", "LowerCase", "x",
      "[Registry]", "HKLM", "Software\\PloveTests\\Registry", "BINARY", "Blob", "blob.bin",
      "[Registry]", "HKCU", "Software\\PloveTests\\Registry", "BINARY", "UserBlob", "blob.bin",
      "[Registry]", "HKLM", "Software\\PloveTests\\Registry", "BINARY", "Missing", "nothing.bin",
      "[Registry]", "HKLM", "Software\\PloveTests\\Registry", "DWORD", "AfterMissing", "-1",
  });
  const std::string blob("\x01\x00\xFF\r\n", 5);
  TestInstall install(u"Plove Reg", u"C:\\Plove Reg\\", {{"setup.dat", script}, {"blob.bin", blob}});
  RelayServer relay;
  State().RelayPath = relay.Path();
  ScriptedMessages messages(IDOK);
  install.Run();

  const WideString folder(u"C:\\Plove Reg\\");
  EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, WideString(u"PloveTests.Class"), u""), folder);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, u"UserText"), WideString(u"at ") + folder);
  bool found = false;
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kKey, u"UserNumber", &found), 41u);
  EXPECT_TRUE(found);
  // The string and the number under HKCU went through the relay file;
  // binary values never do.
  EXPECT_EQ(relay.Served(), 2);
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, u"Twelve", &found), 12u);
  EXPECT_TRUE(found);
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kKey, u"Other"), WideString(u"plain"));
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_CONFIG, kKey, u"Config"), WideString(u"c"));
  EXPECT_EQ(ReadRegistryString(HKEY_USERS, WideString(u".DEFAULT\\Software\\PloveTests\\Registry"), u"Users"),
            WideString(u"u"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kKey, u"LowerCase"));
  EXPECT_EQ(ReadBinary(HKEY_LOCAL_MACHINE, kKey, u"Blob", &found), blob);
  EXPECT_TRUE(found);
  EXPECT_EQ(ReadBinary(HKEY_CURRENT_USER, kKey, u"UserBlob", &found), blob);
  EXPECT_TRUE(found);
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kKey, u"Missing"));
  // A member that cannot be extracted is reported and the install goes on.
  ASSERT_EQ(messages.Count(), 1);
  EXPECT_EQ(messages.Last().text, WideString(u"Unable to extract 'nothing.bin'"));
  EXPECT_EQ(messages.Last().flags, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKey, u"AfterMissing", &found), 0xFFFFFFFFu);
  EXPECT_EQ(State().ProgressTotal, 0);  // no "[CopyFile]": nothing to divide by
  EXPECT_EQ(LastOutcome(), InstallOutcome::Completed);
}

TEST(InstallWorker, UserValuesWithoutRelayAreWrittenDirectly) {
  const std::string script = ScriptOf({
      "[Registry]", "HKCU", "Software\\PloveTests\\Direct", "STRING", "Text", "t",
      "[Registry]", "HKCU", "Software\\PloveTests\\Direct", "DWORD", "Number", "3",
  });
  TestInstall install(u"Plove Direct", u"C:\\Plove Direct\\", {{"setup.dat", script}});
  ScriptedMessages messages(IDOK);
  DWORD started = GetTickCount();
  install.Run();
  EXPECT_LT(GetTickCount() - started, 3000u);
  const WideString key(u"Software\\PloveTests\\Direct");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key, u"Text"), WideString(u"t"));
  bool found = false;
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, key, u"Number", &found), 3u);
}

TEST(InstallWorker, ProgressCountsSkippedVariantsAndEarlyRunsComeFirst) {
  TestFolder logs;
  const WideString log = logs / u"early.log";
  SetEnvironmentVariableW(L"PLOVE_FAKE_LOG", log.W());
  SetEnvironmentVariableW(L"PLOVE_FAKE_CHECK", UninstallRecordPathFor(u"Plove Variant").W());
  const std::string tool = SiblingPath(L"fake_tool.exe").ToUtf8();
  const std::string script = ScriptOf({
      "[RunFile]", tool, "early", "",
      "[CopyFile]", "plain.txt", "<Destination>v.txt",
      "[CopyFile]", "wide.txt", "<Destination>v__PLI_WIN64.txt",
  });
  TestInstall install(u"Plove Variant", u"C:\\Plove Variant\\",
                      {{"setup.dat", script}, {"plain.txt", "plain"}, {"wide.txt", "64-bit"}});
  ScriptedMessages messages(IDOK);
  install.Run();
  // The plain entry gives way to its 64-bit twin, yet both count.
  EXPECT_EQ(FileText(u"C:\\Plove Variant\\v.txt"), "64-bit");
  {
    MutexGuard guard(State().ProgressLock);
    EXPECT_EQ(State().ProgressDone, 2);
    EXPECT_EQ(State().ProgressTotal, 2);
  }
  // A run before any file neither writes the record nor waits.
  for (int i = 0; i < 100 && FileText(log).empty(); ++i) Sleep(50);
  EXPECT_EQ(FileText(log), "\"" + tool + "\" early\n");
  EXPECT_FALSE(Exists(UninstallRecordPathFor(u"Plove Variant")));
  EXPECT_EQ(messages.Count(), 0);
  DeleteFolderTree(u"C:\\Plove Variant");
  SetEnvironmentVariableW(L"PLOVE_FAKE_CHECK", nullptr);
}

TEST(InstallWorker, ShortcutStartsInTheTargetsFolder) {
  // The bundled example's Start-menu shortcut: its target is written
  // "<Destination>hello-app.exe", without a backslash before the macros
  // are expanded.
  const std::string script = ScriptOf({
      "[CopyFile]", "hello-app.exe", "<Destination>hello-app.exe",
      "[CreateIcon]", "<Destination>hello-app.exe", "<Start Programs>Plove Hello\\Plove Hello.lnk", "", "",
  });
  TestInstall install(u"Plove Hello", u"<Program Files>Plove Hello\\",
                      {{"setup.dat", script}, {"hello-app.exe", SiblingFileBytes(L"fake_tool.exe")}});
  ScriptedMessages messages(IDOK);
  install.Run();
  const WideString installTo = State().InstallTo;
  ASSERT_EQ(installTo, WideString(u"C:\\Program Files (x86)\\Plove Hello\\"));
  WideString shortcut(u"<Start Programs>Plove Hello\\Plove Hello.lnk");
  ExpandFolderMacros(shortcut);
  CoInitialize(nullptr);
  WideString workingFolder = ShortcutWorkingFolder(shortcut);
  CoUninitialize();
  AddBackslash(workingFolder);
  EXPECT_TRUE(workingFolder.Equals(installTo, true)) << workingFolder;
  EXPECT_EQ(messages.Count(), 0);
  DeleteFolderTree(installTo);
  WideString menuFolder(u"<Start Programs>Plove Hello");
  ExpandFolderMacros(menuFolder);
  DeleteFolderTree(menuFolder);
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"),
                     WideString(u"hello-app.exe"));
}

TEST(InstallWorker, MessageKindsAndQuestionYesNo) {
  const std::string script = ScriptOf({
      "[CopyFile]", "fake_com.dll", "<Destination>fake_com.dll",
      "[Message]", "Careful", "Warning",
      "[Message]", "Line one\\nsee <Destination>notes.txt", "Information",
      "[Message]", "Why?", "Question",
      "[Message]", "Bad", "Error",
      "[Message]", "Plain", "warning",
      "[Message]", "Go on?", "QuestionYesNo",
      "[Message]", "Really go on?", "QuestionYesNo",
      "[Registry]", "HKLM", "Software\\PloveTests\\Questions", "STRING", "After", "no",
  });
  TestFolder logs;
  const WideString comLog = logs / u"com.log";
  SetEnvironmentVariableW(L"PLOVE_FAKE_COM_LOG", comLog.W());
  TestInstall install(u"Plove Ask", u"<Program Files>Plove Ask\\",
                      {{"setup.dat", script}, {"fake_com.dll", SiblingFileBytes(L"fake_com.dll")}});
  ScriptedMessages messages(IDOK);
  for (int i = 0; i < 5; ++i) messages.Answer(IDOK);
  messages.Answer(IDYES);
  messages.Answer(IDNO);
  install.Run();

  std::vector<RecordedMessage> shown = messages.Messages();
  ASSERT_EQ(shown.size(), 7u);
  const UINT expected[] = {MB_OK | MB_ICONWARNING, MB_OK | MB_ICONINFORMATION, MB_OK | MB_ICONQUESTION,
                           MB_OK | MB_ICONERROR,   MB_OK,                      MB_YESNO | MB_ICONQUESTION,
                           MB_YESNO | MB_ICONQUESTION};
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i].flags, expected[i]) << i;
    EXPECT_EQ(shown[i].caption, WideString(u"Plove Ask Installer"));
  }
  // Only the script's own backslash-n breaks the line, not one that the
  // folder brings in.
  EXPECT_EQ(shown[1].text, WideString(u"Line one\r\nsee ") + State().InstallTo + u"notes.txt");
  // No ends the pass: nothing after it happens, and the placed DLL is not
  // registered, yet the install is not a failure.
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, WideString(u"Software\\PloveTests\\Questions"), u"After"));
  EXPECT_TRUE(Exists(State().InstallTo + u"fake_com.dll"));
  EXPECT_FALSE(Exists(comLog));
  EXPECT_FALSE(State().InstallFailed);
  EXPECT_EQ(LastOutcome(), InstallOutcome::AnsweredNo);
  DeleteFileW((State().InstallTo + u"fake_com.dll").W());
  RemoveDirectoryW(State().InstallTo.W());
}

TEST(InstallWorker, SilentModeReadsMessageValuesAsLines) {
  // Silent: "[Message]" is skipped without its values, so its text line
  // "[Action]" is a directive whose caption is the kind line. Then a member
  // that cannot be extracted stops the pass (so no DLL step overwrites the
  // caption).
  const std::string script = ScriptOf({
      "[Message]", "[Action]", "Silent caption",
      "[CopyFile]", "missing.bin", "<Destination>missing.bin",
  });
  for (bool silent : {true, false}) {
    TestInstall install(u"Plove Quiet", u"C:\\Plove Quiet\\", {{"setup.dat", script}});
    State().Silent = silent;
    ScriptedMessages messages(IDOK);
    install.Run();
    std::vector<RecordedMessage> shown = messages.Messages();
    WideString caption;
    {
      MutexGuard guard(State().ProgressLock);
      caption = State().PendingAction;
    }
    if (silent) {
      EXPECT_EQ(caption, WideString(u"Silent caption"));
      // File-placement failures are still shown.
      ASSERT_EQ(shown.size(), 1u);
    } else {
      EXPECT_TRUE(caption.IsEmpty());
      ASSERT_EQ(shown.size(), 2u);
      EXPECT_EQ(shown[0].text, WideString(u"[Action]"));
      EXPECT_EQ(shown[0].flags, static_cast<UINT>(MB_OK));
    }
    EXPECT_TRUE(State().InstallFailed);
    EXPECT_EQ(LastOutcome(), InstallOutcome::Failed);
    RemoveDirectoryW(L"C:\\Plove Quiet");
  }
}

namespace {

// Answers a message by setting the stop event of the WorkerThread in
// context, as stopping the wizard's thread does while a message is up.
int StopWorker(void* context, HWND, const WideString&, const WideString&, UINT) {
  NamedEvent stop;
  stop.Create(static_cast<WorkerThread*>(context)->EventName());
  stop.Set();
  return IDOK;
}

}  // namespace

TEST(InstallWorker, StopEventEndsThePassBeforeTheNextLine) {
  const std::string script = ScriptOf({"[Message]", "Stop here", "Information", "[Action]", "Never",
                                       "[CopyFile]", "a.txt", "<Destination>a.txt"});
  TestInstall install(u"Plove Stop", u"C:\\Plove Stop\\", {{"setup.dat", script}, {"a.txt", "a"}});
  WorkerThread thread;
  SetMessageResponder(StopWorker, &thread);
  thread.Start(InstallWorker, nullptr, 60000);
  while (!thread.IsFinished()) Sleep(20);
  SetMessageResponder(nullptr, nullptr);
  EXPECT_FALSE(Exists(u"C:\\Plove Stop\\a.txt"));
  EXPECT_TRUE(State().PendingAction.IsEmpty());
  EXPECT_TRUE(State().InstallFailed);
  EXPECT_EQ(LastOutcome(), InstallOutcome::Cancelled);

  // InstallFailed set by the wizard before a line: nothing runs either.
  TestInstall again(u"Plove Stop", u"C:\\Plove Stop\\", {{"setup.dat", script}, {"a.txt", "a"}});
  State().InstallFailed = true;
  ScriptedMessages messages(IDOK);
  again.Run();
  EXPECT_EQ(messages.Count(), 0);
  EXPECT_EQ(LastOutcome(), InstallOutcome::Cancelled);
}

TEST(InstallWorker, RemovalQuestionText) {
  EXPECT_EQ(RemovalQuestion(u"App", u"2.0", u"1.0"),
            WideString(u"Setup has detected an existing version of App.\r\n\r\n  Installing Version: 2.0\r\n"
                       u"  Existing Version: 1.0\r\n\r\nUninstall existing before installing new? (Cancel to "
                       u"exit, leaving existing version)."));
  EXPECT_EQ(RemovalQuestion(u"App", u"", u"1.0"),
            WideString(u"Setup has detected an existing version of App.\r\n\r\nUninstall existing before "
                       u"installing new? (Cancel to exit, leaving existing version)."));
  EXPECT_EQ(RemovalCommandLine(u"\"u.exe\" --uninstall=\"r.dat\""),
            WideString(u"\"u.exe\" --sayonrebootruninst --uninstall=\"r.dat\""));
}

namespace {

// An old version of "Plove Old" whose uninstaller is the fake tool.
struct OldVersion {
  OldVersion() {
    EXPECT_TRUE(WriteWholeFile(record, "[Project Name]\r\nPlove Old\r\n[ProgramVersion]\r\n0.9\r\n"));
    uninstallString = WideString::Format(u"\"%s\" --uninstall=\"%s\"", SiblingPath(L"fake_tool.exe"), record);
    WriteRegistryString(HKEY_LOCAL_MACHINE, UninstallKeyPath(u"Plove Old"), u"UninstallString", uninstallString);
    SetEnvironmentVariableW(L"PLOVE_FAKE_LOG", log.W());
  }
  ~OldVersion() {
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(kUninstallKeyParent), u"Plove Old");
    SetEnvironmentVariableW(L"PLOVE_FAKE_SIGNAL_RESTART", nullptr);
  }
  TestFolder folder;
  WideString record = folder / u"PloveUninstall-Plove Old.dat";
  WideString log = folder / u"old.log";
  WideString uninstallString;
};

struct OfferRun {
  std::vector<RecordedMessage> shown;
  bool installed = false;
  bool failed = false;
  InstallOutcome outcome = InstallOutcome::None;
};

OfferRun RunWithAnswer(int answer, bool withVersion = true, bool silent = false) {
  TestFolder target;
  const std::string script = ScriptOf({"[CopyFile]", "new.txt", "<Destination>new.txt"});
  TestInstall install(u"Plove Old", target.Path(), {{"setup.dat", script}, {"new.txt", "new"}});
  State().UninstallAllowed = false;
  State().Silent = silent;
  if (withVersion) State().ProgramVersion = u"1.0";
  ScriptedMessages messages(IDOK);
  messages.Answer(answer);
  install.Run();
  OfferRun run;
  run.shown = messages.Messages();
  run.installed = Exists(target / u"new.txt");
  run.failed = State().InstallFailed;
  run.outcome = State().Outcome;
  return run;
}

}  // namespace

TEST(InstallWorker, RemovalOfferCancelNoAndSilent) {
  OldVersion old;
  OfferRun cancelled = RunWithAnswer(IDCANCEL);
  ASSERT_EQ(cancelled.shown.size(), 1u);
  EXPECT_EQ(cancelled.shown[0].text, RemovalQuestion(u"Plove Old", u"1.0", u"0.9"));
  EXPECT_EQ(cancelled.shown[0].flags, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
  EXPECT_FALSE(cancelled.installed);
  EXPECT_TRUE(cancelled.failed);
  EXPECT_EQ(cancelled.outcome, InstallOutcome::Cancelled);

  OfferRun kept = RunWithAnswer(IDNO, false);
  ASSERT_EQ(kept.shown.size(), 1u);
  EXPECT_EQ(kept.shown[0].text, RemovalQuestion(u"Plove Old", u"", u""));
  EXPECT_TRUE(kept.installed);
  EXPECT_FALSE(kept.failed);

  OfferRun silent = RunWithAnswer(IDCANCEL, true, true);
  EXPECT_EQ(silent.shown.size(), 0u);
  EXPECT_TRUE(silent.installed);
  EXPECT_FALSE(Exists(old.log));  // the old uninstaller never ran
}

TEST(InstallWorker, RemovalOfferYesRunsTheOldUninstaller) {
  OldVersion old;
  OfferRun removed = RunWithAnswer(IDYES);
  EXPECT_EQ(FileText(old.log), RemovalCommandLine(old.uninstallString).ToUtf8() + "\n");
  EXPECT_TRUE(removed.installed);
  EXPECT_FALSE(removed.failed);
  EXPECT_EQ(removed.outcome, InstallOutcome::Completed);

  // An old uninstaller that restarts Windows stops the new install.
  SetEnvironmentVariableW(L"PLOVE_FAKE_SIGNAL_RESTART", L"1");
  OfferRun restarting = RunWithAnswer(IDYES);
  EXPECT_FALSE(restarting.installed);
  EXPECT_TRUE(restarting.failed);
  EXPECT_EQ(restarting.outcome, InstallOutcome::OldVersionRestarting);
}

TEST(InstallWorker, OptionalCaptionsAreCutAtAFixedPlace) {
  // The caption starts at the twelfth character, wherever the marker is.
  const std::string script = ScriptOf({
      "[CreateIcon]", "<Destination>t.exe", "<DeskTop>T.lnk", "-a", "xxOptional - Start now",
      "[RunAndWaitFile]", "<Destination>t.exe", "-p", "Optional - Start now",
  });
  for (bool silent : {false, true}) {
    TestInstall install(u"Plove Option", u"C:\\Plove Option\\", {{"setup.dat", script}});
    State().Silent = silent;
    ScriptedMessages messages(IDOK);
    install.Run();
    EXPECT_EQ(messages.Count(), 0);
    EXPECT_EQ(LastOutcome(), InstallOutcome::Completed);
    if (silent) {
      // Optional actions are neither offered nor done.
      EXPECT_TRUE(State().IconEntries.empty());
      EXPECT_TRUE(State().RunEntries.empty());
      continue;
    }
    ASSERT_EQ(State().IconEntries.size(), 1u);
    EXPECT_EQ(State().IconEntries[0].Caption, WideString(u"- Start now"));
    EXPECT_EQ(State().IconEntries[0].Arguments, WideString(u"-a"));
    ASSERT_EQ(State().RunEntries.size(), 1u);
    EXPECT_EQ(State().RunEntries[0].Caption, WideString(u"Start now"));
    EXPECT_EQ(State().RunEntries[0].Program, WideString(u"<Destination>t.exe"));
    EXPECT_TRUE(State().RunEntries[0].Wait);
  }
}

TEST(InstallWorker, ScriptEndingInsideADirective) {
  // Each script opens with a very long line and a very long caption, and
  // ends inside a directive: the missing value lines are empty.
  const std::string huge(100000, 'x');
  struct Case {
    const char* tail;
    int messages;
    InstallOutcome outcome;
  };
  const Case cases[] = {
      {"[Action]", 0, InstallOutcome::Completed},
      {"[Message]", 1, InstallOutcome::Completed},
      {"[Message]\r\nLast words", 1, InstallOutcome::Completed},
      {"[Registry]\r\nHKLM\r\nSoftware\\PloveTests\\Cut", 0, InstallOutcome::Completed},
      {"[CreateIcon]\r\n<Destination>t.exe", 0, InstallOutcome::Completed},
      {"[CopyFile]\r\nm", 1, InstallOutcome::Failed},
  };
  for (const Case& c : cases) {
    const std::string script = huge + "\r\n" + ScriptOf({"[Action]", huge}) + c.tail;
    TestInstall install(u"Plove Cut", u"C:\\Plove Cut\\", {{"setup.dat", script}});
    ScriptedMessages messages(IDOK);
    install.Run();
    EXPECT_EQ(messages.Count(), c.messages) << c.tail;
    EXPECT_EQ(LastOutcome(), c.outcome) << c.tail;
    if (c.messages > 0 && c.outcome == InstallOutcome::Completed) {
      EXPECT_EQ(messages.Last().flags, static_cast<UINT>(MB_OK)) << c.tail;  // no kind, no icon
    }
    MutexGuard guard(State().ProgressLock);
    if (c.outcome == InstallOutcome::Completed)
      EXPECT_EQ(State().PendingAction, WideString(u"Registering Dlls")) << c.tail;
    else
      EXPECT_EQ(State().PendingAction.Length(), 100000) << c.tail;
  }
  // The cut "[Registry]" wrote an empty default value under its key.
  const WideString cutKey(u"Software\\PloveTests\\Cut");
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, cutKey, u""));
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, cutKey, u""), WideString());
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, WideString(u"Software"), WideString(u"PloveTests"));
  RemoveDirectoryW(L"C:\\Plove Cut");
}

namespace {

// Answers every message; the one that says "swap" first puts a link in
// place of the product's folder "data" (what a program the run started
// could do, as it may still be running).
int SwapDataForLink(void* context, HWND, const WideString& text, const WideString&, UINT) {
  const WideString& victim = *static_cast<const WideString*>(context);
  if (text == WideString(u"swap")) {
    const WideString data = State().InstallTo + u"data";
    EXPECT_TRUE(MoveFileW(data.W(), (data + u".old").W()));
    EXPECT_TRUE(MakeUnixLink(data, victim));
  }
  return IDOK;
}

}  // namespace

TEST(InstallWorker, AfterAProgramRunsTheFoldersTheRunMadeAreWalkedAgain) {
  // "data" is made by this run in a folder it made in Program Files: until
  // a program starts, nobody else could have put a link in its place.
  const std::string script = ScriptOf({
      "[CopyFile]", "a.txt", "<Destination>data\\a.txt",
      "[RunAndWaitFile]", "C:\\windows\\system32\\cmd.exe", "/c exit", "",
      "[Message]", "swap", "Information",
      "[CopyFile]", "b.txt", "<Destination>data\\b.txt",
  });
  TestFolder victimFolder;
  WideString victim = victimFolder.Path();
  RemoveTrailingBackslashes(victim);
  // Rolling back the placed a.txt must not delete this one through the link.
  ASSERT_TRUE(WriteWholeFile(victim + u"\\a.txt", "victim's"));
  TestInstall install(u"Plove Vouched", u"<Program Files>Plove Vouched\\",
                      {{"setup.dat", script}, {"a.txt", "a"}, {"b.txt", "b"}});
  SetMessageResponder(&SwapDataForLink, &victim);
  install.Run();
  SetMessageResponder(nullptr, nullptr);

  EXPECT_FALSE(Exists(victim + u"\\b.txt"));
  EXPECT_TRUE(Exists(victim + u"\\a.txt"));
  EXPECT_TRUE(State().InstallFailed);
  const WideString data = State().InstallTo + u"data";
  DeleteFileW(data.W());
  RemoveDirectoryW(data.W());
  DeleteFileW((data + u".old\\a.txt").W());
  RemoveDirectoryW((data + u".old").W());
  RemoveDirectoryW(State().InstallTo.W());
}
