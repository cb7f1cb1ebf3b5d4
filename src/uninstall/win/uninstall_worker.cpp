#include "uninstall/win/uninstall_worker.h"

#include <objbase.h>
#include <shellapi.h>

#include "app/install_state.h"
#include "engine/run_rules.h"
#include "engine/win/folder_macros.h"
#include "engine/win/native_system_folder.h"
#include "engine/win/pending_renames.h"
#include "engine/win/product_folder.h"
#include "engine/win/logon_deletion.h"
#include "engine/win/program_runs.h"
#include "engine/win/run_scope.h"
#include "engine/win/uninstall_record.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "uninstall/win/empty_folders.h"
#include "uninstall/win/record_product.h"
#include "uninstall/win/removal_list.h"
#include "util/path_text.h"
#include "util/string_list.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/message_door.h"
#include "util/win/registry.h"
#include "util/win/safe_files.h"

namespace {

const WChar* const kAppPathsKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const WChar kRecordUnreadable[] = u"Unable to open the uninstall record '%s', nothing has been removed.";

bool HasExtension(const WideString& path, const WChar* extension) {
  return Extension(path).Equals(WideString(extension), true);
}

void RunUninstallAction(WideString program, const WideString& argumentsLine, HWND window) {
  ExpandFolderMacros(program);
  const WideString arguments = ExpandParameterMacros(argumentsLine, &ExpandFolderMacros);
  // An empty program line would make the shell open the current folder.
  if (program.IsEmpty()) return;
  if (HasExtension(program, u".exe") || !arguments.IsEmpty()) {
    // Quoted even alone: "D:\Apps\Plove Hello\tool.exe" unquoted would start
    // "D:\Apps\Plove.exe" when there is one.
    WideString command = arguments.IsEmpty() ? WideString::Format(u"\"%s\"", program)
                                             : WideString::Format(u"\"%s\" %s", program, arguments);
    ProgramRunResult result;
    if (!StartProcess(command, true, &result)) {
      LogWindowsError(log_kind::kFailure, u"run " + command, GetLastError());
      ShowMessage(window, WideString::Format(u"Error whilst running '%s'.", program), State().InstallerTitle,
                  MB_ICONERROR);
    } else {
      LogEvent(log_kind::kRun, WideString::Format(u"%s: exit code %u", command, result.exitCode));
    }
  } else {
    // A document: opened with its program, not awaited.
    ShellExecuteW(nullptr, nullptr, program.W(), nullptr, nullptr, SW_SHOWNORMAL);
    LogEvent(log_kind::kRun, program + u": opened, not waited for");
  }
}

// Pass 1: counts the "[CopyFile]" entries and runs every uninstall action,
// before anything is removed.
int RunUninstallActions(DiskFile& file, HWND window) {
  LineReader record(file, false);
  int fileCount = 0;
  WideString line;
  while (record.Next(line)) {
    if (line.Equals(Directive::CopyFile)) {
      ++fileCount;
    } else if (line.Equals(Directive::UninstallAction)) {
      WideString values[2];  // program, arguments
      record.NextValues(values, 2);
      RunUninstallAction(values[0], values[1], window);
    }
  }
  return fileCount;
}

// Deletes the file now or, when that fails, at the next restart.
void RemoveFile(const WideString& path) {
  // A link in the product folder (another user may write it) is not the
  // product's: nothing is deleted through it.
  const WideString link = LinkInProductFolder(path);
  if (!link.IsEmpty()) {
    LogEvent(log_kind::kFailure, path + u" left: " + link + u" is a link");
    return;
  }
  // A 64-bit product's file in the system folder is in the real one.
  NativeSystemFolderScope native(path);
  // A replacement an install staged for the restart would bring the file
  // back: taken back with its staged copy.
  const WideString staged = path + u"-PLITMP";
  if (ReplacementPendingAtRestart(LongPathForm(path, MAX_PATH), LongPathForm(staged, MAX_PATH)) &&
      CancelReplacementAtRestart(LongPathForm(path, MAX_PATH), LongPathForm(staged, MAX_PATH)) &&
      DeleteFileForced(staged))
    LogEvent(log_kind::kFileRemoved, staged);
  if (!PathExists(path)) return;
  if (DeleteFileForced(path)) {
    LogEvent(HasExtension(path, u".lnk") ? log_kind::kShortcutRemoved : log_kind::kFileRemoved, path);
  } else {
    LogWindowsError(log_kind::kFileRemovedAtRestart, path, GetLastError());
    State().UninstallRebootRequired = true;
    MoveItem(path, WideString(), MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

void RemoveListed(const StringList& removals, int fileCount) {
  InstallState& state = State();
  for (int i = 0; i < removals.Count(); ++i) UnregisterDll(removals.Item(i));
  for (int i = 0; i < removals.Count(); ++i) {
    const WideString& path = removals.Item(i);
    RemoveFile(path);
    RemoveAppPath(path);
    RemoveEmptyFolders(ParentFolder(path));
    MutexGuard guard(state.ProgressLock);
    state.ProgressDone = i + 1;
    state.ProgressTotal = fileCount;
    state.ProgressChanged = true;
  }
  // Temporary files an interrupted install left beside its files would
  // keep their folders forever: once per folder, then the folders again.
  StringList folders;
  for (int i = 0; i < removals.Count(); ++i) {
    const WideString folder = ParentFolder(removals.Item(i));
    if (!folders.Contains(folder, true)) folders.Add(folder);
  }
  for (int i = 0; i < folders.Count(); ++i) {
    if (RemoveLeftTempFiles(folders.Item(i))) RemoveEmptyFolders(folders.Item(i));
  }
}

// "HKLM\" or "HKCU\", as the log names the product's root.
WideString RootPrefix() { return WideString(PerUserRun() ? u"HKCU\\" : u"HKLM\\"); }

// After the record's files: the record, the product's Uninstall key and,
// at the next restart, this executable when it is the product's uninstaller
// copy (not an installer started with "--uninstall=" from anywhere else).
void CleanUp(const WideString& recordPath) {
  InstallState& state = State();
  if (DeleteFileNoFollow(recordPath)) LogEvent(log_kind::kFileRemoved, recordPath);
  if (!state.ProjectName.IsEmpty() &&
      DeleteRegistryTree(ProductRegistryRoot(), WideString(kUninstallKeyParent), state.ProjectName))
    LogEvent(log_kind::kRegistryKeyRemoved, RootPrefix() + UninstallKeyPath(state.ProjectName));
  wchar_t self[MAX_PATH] = {};
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0 || !InUninstallerFolder(WideString(self))) return;
  // Windows' list of deletions at the restart is the machine's; a
  // per-user uninstaller goes at the user's next logon instead.
  const bool scheduled = PerUserRun() ? DeleteAtNextLogon(WideString(self), state.ProjectName)
                                      : MoveItem(WideString(self), WideString(), MOVEFILE_DELAY_UNTIL_REBOOT);
  if (scheduled) LogEvent(log_kind::kFileRemovedAtRestart, WideString(self));
}

}  // namespace

void UnregisterDll(const WideString& path) {
  if (IsSelfRegisteringFile(path)) UnregisterDllServer(path);
}

void RemoveAppPath(const WideString& path) {
  if (HasExtension(path, u".exe") &&
      DeleteRegistryTree(ProductRegistryRoot(), WideString(kAppPathsKey), FileName(path)))
    LogEvent(log_kind::kRegistryKeyRemoved, RootPrefix() + kAppPathsKey + u"\\" + FileName(path));
}

void UninstallWorker(NamedEvent& /*stopEvent*/, void* window) {
  InstallState& state = State();
  HWND owner = static_cast<HWND>(window);
  const HRESULT com = CoInitialize(nullptr);
  ExpandFolderMacros(state.UninstallRecordPath);
  // The other records are looked for in the record's folder, which a bare
  // file name does not show.
  state.UninstallRecordPath = AbsolutePath(state.UninstallRecordPath);
  const WideString recordPath = state.UninstallRecordPath;
  // "<Program Files>" in the record as at its install: the 64-bit program
  // folder for a record in the 64-bit uninstaller folder.
  bool is64Bit = false;
  if (InUninstallerFolder(recordPath, &is64Bit)) state.Install64Bit = is64Bit;
  LogEvent(log_kind::kUninstall, state.ProjectName + u" from the record " + recordPath);
  DiskFile record;
  if (record.Open(recordPath, GENERIC_READ, OPEN_EXISTING, false)) {
    const int fileCount = RunUninstallActions(record, owner);
    StringList removals;
    RecordMarks marks;
    record.Seek(0, false);
    CollectRemovals(record, removals, marks);
    LeaveKeptFiles(marks, removals);
    ProtectSharedFiles(recordPath, removals);
    ReleaseSharedCounts(marks, removals);
    RemoveListed(removals, fileCount);
    record.Close();
    CleanUp(recordPath);
    state.Outcome = InstallOutcome::Completed;
  } else {
    // Without its record nothing tells what to remove: the entry and the
    // uninstaller stay, so that the product can still be removed once the
    // record is back (or be installed over).
    LogWindowsError(log_kind::kFailure, u"open the record " + recordPath, GetLastError());
    ShowMessage(owner, WideString::Format(kRecordUnreadable, recordPath), state.InstallerTitle, MB_ICONERROR);
    state.Outcome = InstallOutcome::Failed;
  }
  if (SUCCEEDED(com)) CoUninitialize();
}
