#include "engine/win/program_runs.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "util/win/windows_api.h"
// windows_api.h first
#include <shellapi.h>

#include "app/install_state.h"
#include "engine/run_rules.h"
#include "engine/win/folder_macros.h"
#include "engine/win/run_scope.h"
#include "payload/win/payload_context.h"
#include "restart/win/relay_file.h"
#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/folder_vouching.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "util/win/scoped_handle.h"
#include "util/win/temp_names.h"
#include "util/win/safe_files.h"

namespace {

// Not in every SDK's headers: CreateProcessW's answer for a program whose
// manifest asks for elevation.
constexpr DWORD kElevationRequired = 740;

// Numbered names tried for a desktop copy before giving up.
constexpr int kMostDesktopNames = 99;

const WChar kCannotExtract[] = u"Cannot extract '%s', disk may be full.";
const WChar kRunFailed[] = u"Error whilst running '%s'%s";
const WChar kDesktopSuffix[] =
    u"\r\n\r\nThe installer has been extracted to your desktop in a file named '%s' double click this file now "
    u"(before clicking OK) to manually run it";

const ProgramStarters* g_testStarters = nullptr;

// The starters of RunProgram: the real ones report the exit code of a
// program waited for, replacements made by tests do not.
bool StartCommand(const WideString& commandLine, bool wait, ProgramRunResult* result) {
  if (g_testStarters != nullptr) return g_testStarters->startProcess(commandLine, wait);
  return StartProcess(commandLine, wait, result);
}

bool StartElevated(const WideString& file, const WideString& parameters, bool wait, ProgramRunResult* result) {
  if (g_testStarters != nullptr) return g_testStarters->shellRunAs(file, parameters, wait);
  return ShellRunAs(file, parameters, wait, result);
}

// Waits for a process when asked and reads its exit code into result (when
// given).
void WaitForExit(HANDLE process, bool wait, ProgramRunResult* result) {
  if (!wait) return;
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  if (result != nullptr && GetExitCodeProcess(process, &code)) {
    result->exitCodeKnown = true;
    result->exitCode = code;
  }
}

// Lets the started program take the foreground, waits when asked and
// closes the process handle (which the shell may not give for documents).
void FollowStartedProcess(HANDLE processHandle, bool wait, ProgramRunResult* result) {
  ScopedKernelHandle process(processHandle);
  if (!process) return;
  AllowSetForegroundWindow(GetProcessId(process.Get()));
  WaitForExit(process.Get(), wait, result);
}

// Searches the program file for an administrator manifest. readCompletely
// is false when the file could not be opened or read to its end. The file
// is searched in slices that overlap by the longest text less one byte, so
// a large program is not held in memory.
bool ProgramAsksForAdministrator(const WideString& program, bool* readCompletely) {
  *readCompletely = false;
  DiskFile file;
  if (!file.Open(program, GENERIC_READ, OPEN_EXISTING, false)) return false;
  const uint64_t size = file.Size();
  constexpr size_t kSlice = 1 << 20;
  constexpr size_t kOverlap = 27;  // length of the longer manifest text - 1
  std::vector<uint8_t> buffer(kSlice + kOverlap);
  size_t kept = 0;
  uint64_t total = 0;
  for (;;) {
    const DWORD got = file.Read(buffer.data() + kept, kSlice);
    total += got;
    const size_t filled = kept + got;
    if (AsksForAdministrator(buffer.data(), filled)) return true;
    if (got < kSlice) break;  // end of file, or a read failure
    kept = std::min(kOverlap, filled);
    std::memmove(buffer.data(), buffer.data() + filled - kept, kept);
  }
  *readCompletely = total == size;
  return false;
}

// True when the program should run as the user who started the installer.
bool RunsAsUser(const WideString& program, WideString& parameters, bool fromPayload) {
  bool asUser = true;
  if (!OpensAsDocument(program, parameters)) {
    bool complete = false;
    const bool asksForAdmin = ProgramAsksForAdministrator(program, &complete);
    asUser = complete && !asksForAdmin;
  }
  if (fromPayload) asUser = false;
  if (RemoveRunElevatedMarker(parameters)) asUser = false;
  return asUser;
}

// Copies the program to the desktop under its own name or, when a file of
// that name is there already, under the first free numbered name: a file of
// the user's is never overwritten (nor deleted afterwards). Empty when no
// copy could be made.
WideString CopyToDesktop(const WideString& program) {
  WideString desktop(u"<DeskTop>\\");
  ExpandFolderMacros(desktop);
  const WideString name = FileName(program);
  for (int number = 1; number <= kMostDesktopNames; ++number) {
    const WideString copy = desktop + NumberedFileName(name, number);
    if (CopyItem(program, copy, true)) return copy;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return WideString();
}

// "run: <command line>: <what became of it>". error: why it failed, when it
// did. A program handed to the first process is logged there once more,
// with its result.
void LogRun(const WideString& program, const WideString& parameters, bool wait, bool handedOver,
            const ProgramRunResult& outcome, DWORD error) {
  if (!InstallLogOpen()) return;
  const WideString command = RunCommandLine(program, parameters);
  if (handedOver) {
    LogEvent(log_kind::kRun, command + u": handed to the first process, which runs it as the user");
  } else if (!outcome.started) {
    LogWindowsError(log_kind::kFailure, u"run " + command, error);
  } else if (outcome.exitCodeKnown) {
    LogEvent(log_kind::kRun, WideString::Format(u"%s: exit code %u", command, outcome.exitCode));
  } else {
    LogEvent(log_kind::kRun, command + (wait ? u": ended" : u": started, not waited for"));
  }
}

}  // namespace

bool StartProcess(const WideString& commandLine, bool wait) { return StartProcess(commandLine, wait, nullptr); }

bool StartProcess(const WideString& commandLine, bool wait, ProgramRunResult* result) {
  StopVouchingForFolders();
  PROCESS_INFORMATION process = {};
  BOOL created = FALSE;
  DWORD error = ERROR_SUCCESS;
  {
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> line(commandLine.W(), commandLine.W() + commandLine.Length() + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    created = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                             &startup, &process);
    error = GetLastError();
  }
  if (!created) {
    // Freeing the buffer must not hide the reason from the caller.
    SetLastError(error);
    return false;
  }
  ScopedKernelHandle thread(process.hThread);
  ScopedKernelHandle started(process.hProcess);
  WaitForExit(started.Get(), wait, result);
  return true;
}

bool ShellRunAs(const WideString& file, const WideString& parameters, bool wait) {
  return ShellRunAs(file, parameters, wait, nullptr);
}

bool ShellRunAs(const WideString& file, const WideString& parameters, bool wait, ProgramRunResult* result) {
  StopVouchingForFolders();
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"runas";
  info.lpFile = file.W();
  info.lpParameters = parameters.IsEmpty() ? nullptr : parameters.W();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return false;
  FollowStartedProcess(info.hProcess, wait, result);
  return true;
}

void SetProgramStartersForTests(const ProgramStarters* starters) { g_testStarters = starters; }

void RunProgram(const WideString& programLine, const WideString& parametersLine, bool wait, bool afterFiles,
                HWND owner, ProgramRunResult* result) {
  // Whatever the program is and however it is started, it may change the
  // folders this run made.
  StopVouchingForFolders();
  // Filled in as the run goes; nothing is known of a run not started.
  ProgramRunResult ignored;
  ProgramRunResult& outcome = result != nullptr ? *result : ignored;
  outcome = ProgramRunResult();
  WideString program = programLine;
  bool failed = false;
  bool deleteExtracted = true;
  bool handedOver = false;
  WideString extracted;
  WideString desktopCopy;
  bool desktopCopyMade = false;
  WideString suffix;

  const bool fromPayload = IsTempInstallProgram(program);
  if (fromPayload) {
    const WideString member = TempInstallMember(program);
    WideString unique;
    MakeTempFileName(unique, "", "-");
    extracted = unique + FileName(member);
    PayloadContext* payload = PublishedPayload();
    if (unique.IsEmpty() || payload == nullptr || !payload->Archive().ExtractTo(member, extracted)) {
      ShowMessage(owner, WideString::Format(kCannotExtract, member), State().InstallerTitle, MB_OK | MB_ICONERROR);
      if (!unique.IsEmpty()) DeleteFileNoFollow(extracted);
      DeleteTempFile(unique);
      return;
    }
    program = extracted;
    DeleteTempFile(unique);
  }
  ExpandFolderMacros(program);
  // Expanded here, once, for every way the program may go: the first
  // process that runs a handed-over program has no install folder, and the
  // elevation retry needs them as much as the command line.
  WideString parameters = ExpandParameterMacros(parametersLine, &ExpandFolderMacros);

  // A per-user run is the user's own already: nothing to hand over.
  if (afterFiles && RunsAsUser(program, parameters, fromPayload) && !PerUserRun()) {
    // The first process runs it with this same procedure, as the user.
    deleteExtracted = false;
    StringList command;
    command.Add(WideString(u"[run]"));
    command.Add(program);
    command.Add(parameters);
    command.Add(WideString(wait ? u"1" : u"0"));
    // A command nobody took is a run that failed (the relay logged why).
    handedOver = SendRelayCommand(command);
    failed = !handedOver;
  } else if (OpensAsDocument(program, parameters)) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = program.W();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) {
      FollowStartedProcess(info.hProcess, wait, &outcome);
    } else {
      failed = true;
    }
    deleteExtracted = false;
  } else {
    // Program and parameters are expanded apart: expanding the formatted
    // line would collapse the leading pair of a quoted UNC program.
    const WideString command = RunCommandLine(program, parameters);
    if (!StartCommand(command, wait, &outcome)) {
      if (GetLastError() == kElevationRequired) {
        failed = !StartElevated(program, parameters, wait, &outcome);
      } else {
        // Blocked where it is: try once more from a copy on the desktop,
        // which the user can also start by hand.
        desktopCopy = CopyToDesktop(program);
        desktopCopyMade = !desktopCopy.IsEmpty();
        if (!desktopCopyMade) {
          failed = true;
        } else if (!StartCommand(command, wait, &outcome)) {
          suffix = WideString::Format(kDesktopSuffix, FileName(desktopCopy));
          failed = true;
        }
      }
    }
  }

  outcome.started = !failed;
  LogRun(program, parameters, wait, handedOver, outcome, failed ? GetLastError() : ERROR_SUCCESS);
  if (failed && !State().Silent) {
    // The extracted file and the desktop copy stay for the user.
    ShowMessage(owner, WideString::Format(kRunFailed, program, suffix), State().InstallerTitle,
                MB_OK | MB_ICONERROR);
    return;
  }
  // A program started without waiting may still hold its file; it then stays.
  if (deleteExtracted && !extracted.IsEmpty()) DeleteFileNoFollow(extracted);
  // Only a copy made here is removed, never a file of the same name that
  // was on the desktop before.
  if (desktopCopyMade) DeleteFileForced(desktopCopy);
}
