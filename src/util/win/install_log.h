#pragma once
// The install log that "--log=PATH" asks for: one UTF-8 text file (no
// byte-order mark) that the installer's first process, its elevated copy,
// an uninstaller and a container's inner installers may all append to at
// the same time. Each line (util/log_line.h) is written with one WriteFile
// on a handle opened for appending only, in turn with the other writers
// (a mutex named after the file, LogMutexName), so lines of several
// processes and threads never mix or overwrite each other; and it is in the
// file once the call returns: a process that is killed leaves every line it
// wrote.
//
// Without an open log every call here does nothing, at the cost of one
// flag test. A log that cannot be opened is no reason to stop a run: the
// run goes on without one.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Kinds of lines, shared by the writers and the tests.
namespace log_kind {
constexpr const WChar* kStart = u"start";  // detail: the command line
constexpr const WChar* kEnd = u"end";      // detail: "exit code N"
constexpr const WChar* kFailure = u"failure";
constexpr const WChar* kMessage = u"message";
constexpr const WChar* kRun = u"run";
constexpr const WChar* kFileNew = u"file new";
constexpr const WChar* kFileReplaced = u"file replaced";
constexpr const WChar* kFileKept = u"file kept";
constexpr const WChar* kFileInUse = u"file in use";
constexpr const WChar* kFileStaged = u"file staged for restart";
constexpr const WChar* kFileRemoved = u"file removed";
constexpr const WChar* kFileRemovedAtRestart = u"file removed at restart";
constexpr const WChar* kFolderRemoved = u"folder removed";
constexpr const WChar* kFolderProtected = u"folder protected";  // made with Program Files' rules
constexpr const WChar* kFolderOpen = u"folder writable by non-administrators";
constexpr const WChar* kRegistrySet = u"registry set";
constexpr const WChar* kRegistryRemoved = u"registry removed";
constexpr const WChar* kRegistryKeyRemoved = u"registry key removed";
constexpr const WChar* kShortcutCreated = u"shortcut created";
constexpr const WChar* kShortcutRemoved = u"shortcut removed";
constexpr const WChar* kDllRegistered = u"dll registered";
constexpr const WChar* kDllUnregistered = u"dll unregistered";
constexpr const WChar* kInstall = u"install";
constexpr const WChar* kUninstall = u"uninstall";
constexpr const WChar* kUninstallRecord = u"uninstall record";
constexpr const WChar* kContainer = u"container";
constexpr const WChar* kRelaunch = u"relaunch";
constexpr const WChar* kRollback = u"rollback";
constexpr const WChar* kSkipped = u"skipped";  // left out of a per-user install
constexpr const WChar* kScope = u"scope";      // who the run installs for
}  // namespace log_kind

// Opens path for appending (creating the file and its folder when missing)
// and writes the start line with commandLine. A relative path is taken from
// the current folder. role names the process in every line ("first
// process", "elevated copy", ...). False when the file cannot be opened;
// an open log is closed first.
bool OpenInstallLog(const WideString& path, const WideString& role, const WideString& commandLine);
// Writes to a log that another process opened: file is a handle to it,
// duplicated into this process (this object owns it from now on); path is
// the log's path, which names the writers' mutex and is not opened here.
// The elevated copies of the installer and uninstaller write this way, so
// that the file is opened with the rights of the user who started the run,
// never with administrator rights. False (and no log) when file is not a
// file on a disk.
bool AdoptInstallLog(HANDLE file, const WideString& path, const WideString& role, const WideString& commandLine);
// The open log's handle, for passing on to an elevated copy; null when no
// log is open. It stays owned by the log.
HANDLE InstallLogHandle();
// Writes the end line "exit code N" and closes the log.
void CloseInstallLog(int exitCode);
bool InstallLogOpen();
// The full path of the open log; empty when none is open.
WideString InstallLogPath();
// Names the process differently from the next line on (a first process that
// turns out to run a container).
void SetInstallLogRole(const WideString& role);

// "kind: detail".
void LogEvent(const WChar* kind, const WideString& detail);
// "kind: detail: <Windows' text for error> (error N)".
void LogWindowsError(const WChar* kind, const WideString& detail, DWORD error);

// "registry set: HKLM\key\name = data": text in double quotes, a DWORD as a
// number, other types by their size; "(default)" for the unnamed value. A
// status other than ERROR_SUCCESS gives a failure line with Windows' text.
void LogRegistryWrite(HKEY root, const WideString& keyPath, const WideString& valueName, DWORD type,
                      const void* bytes, DWORD byteCount, LONG status);
// "registry removed: HKLM\key\name" or "registry key removed: HKLM\key"
// (valueName null); a failure line when status is not ERROR_SUCCESS, except
// for a value or key that was not there.
void LogRegistryRemoval(HKEY root, const WideString& keyPath, const WideString* valueName, LONG status);

// Windows' text for an error code or HRESULT (FormatMessageW, the system's
// messages), without its line end; empty when Windows has none.
WideString WindowsErrorText(DWORD error);
// The name of a message box answer ("OK", "Cancel", "Yes", ...); the number
// for an unknown one, "none" for 0 (the box could not be shown).
WideString AnswerName(int answer);
// The root of a registry path as it is written in a script ("HKLM", ...).
WideString RegistryRootName(HKEY root);
