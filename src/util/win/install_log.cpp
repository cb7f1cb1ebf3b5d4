#include "util/win/install_log.h"

#include <atomic>
#include <string>
#include <utility>

#include "util/log_line.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/scoped_handle.h"
#include "util/win/sync.h"
#include "util/win/safe_files.h"

namespace {

constexpr DWORD kWriteTurnMs = 5000;

struct LogFile {
  LogFile() { lock.Create(); }
  MutexLock lock;  // guards everything below
  ScopedFileHandle file;
  // Taken around each write by every process that writes to the file: not
  // every file system appends for several writers at once without losing
  // lines.
  ScopedKernelHandle writeTurn;
  WideString path;
  WideString role;
};

std::atomic<bool> g_open{false};

LogFile& Log() {
  static LogFile* log = new LogFile();  // lives to the end of the process
  return *log;
}

// The caller holds the lock.
void WriteLocked(LogFile& log, const WChar* kind, const WideString& detail) {
  if (!log.file) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  LogStamp stamp;
  stamp.year = now.wYear;
  stamp.month = now.wMonth;
  stamp.day = now.wDay;
  stamp.hour = now.wHour;
  stamp.minute = now.wMinute;
  stamp.second = now.wSecond;
  stamp.millisecond = now.wMilliseconds;
  const std::string line = LogLineText(stamp, GetCurrentProcessId(), log.role, WideString(kind), detail);
  // A writer that was killed during its turn leaves the mutex abandoned,
  // which hands the turn on; one that hangs in it is not waited for long.
  const DWORD turn = log.writeTurn ? WaitForSingleObject(log.writeTurn.Get(), kWriteTurnMs) : WAIT_FAILED;
  DWORD written = 0;
  // One write per line: a line is never split between writers.
  WriteFile(log.file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  if (turn == WAIT_OBJECT_0 || turn == WAIT_ABANDONED) ReleaseMutex(log.writeTurn.Get());
}

}  // namespace

namespace {

// The caller holds the lock.
void CloseLocked(LogFile& log) {
  g_open.store(false);
  log.file.Reset();
  log.writeTurn.Reset();
  log.path.Clear();
}

// Starts writing to file, the log at path (full). The caller holds the lock.
void StartLocked(LogFile& log, ScopedFileHandle file, const WideString& path, const WideString& role,
                 const WideString& commandLine) {
  log.file = std::move(file);
  // Without the mutex (another account's process made it and this one may
  // not use it) lines are still appended.
  log.writeTurn.Reset(CreateMutexW(nullptr, FALSE, LogMutexName(path).W()));
  log.path = path;
  log.role = role;
  g_open.store(true);
  WriteLocked(log, log_kind::kStart, commandLine);
}

}  // namespace

bool OpenInstallLog(const WideString& givenPath, const WideString& role, const WideString& commandLine) {
  LogFile& log = Log();
  MutexGuard guard(log.lock);
  CloseLocked(log);
  if (givenPath.IsEmpty()) return false;
  const WideString path = AbsolutePath(givenPath);
  const WideString folder = ParentFolder(path);
  if (!folder.IsEmpty() && !PathExists(folder)) CreateFolderTree(folder);
  // Appending only: every write lands at the end of the file as it is then,
  // whoever else appends to it.
  ScopedFileHandle file =
      OpenByPath(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_ALWAYS);
  if (!file) return false;
  StartLocked(log, std::move(file), path, role, commandLine);
  return true;
}

bool AdoptInstallLog(HANDLE file, const WideString& path, const WideString& role, const WideString& commandLine) {
  ScopedFileHandle owned(file);
  LogFile& log = Log();
  MutexGuard guard(log.lock);
  CloseLocked(log);
  // Only a file on a disk is a log: a handle value that names something
  // else in the other process is no file to write lines into.
  if (!owned || GetFileType(owned.Get()) != FILE_TYPE_DISK) return false;
  StartLocked(log, std::move(owned), AbsolutePath(path), role, commandLine);
  return true;
}

HANDLE InstallLogHandle() {
  if (!g_open.load()) return nullptr;
  LogFile& log = Log();
  MutexGuard guard(log.lock);
  return log.file.Get();
}

void CloseInstallLog(int exitCode) {
  if (!g_open.load()) return;
  LogFile& log = Log();
  MutexGuard guard(log.lock);
  WriteLocked(log, log_kind::kEnd, WideString::Format(u"exit code %d", exitCode));
  CloseLocked(log);
}

bool InstallLogOpen() { return g_open.load(); }

WideString InstallLogPath() {
  if (!g_open.load()) return WideString();
  LogFile& log = Log();
  MutexGuard guard(log.lock);
  return log.path;
}

void SetInstallLogRole(const WideString& role) {
  LogFile& log = Log();
  MutexGuard guard(log.lock);
  log.role = role;
}

void LogEvent(const WChar* kind, const WideString& detail) {
  if (!g_open.load()) return;
  LogFile& log = Log();
  MutexGuard guard(log.lock);
  WriteLocked(log, kind, detail);
}

void LogWindowsError(const WChar* kind, const WideString& detail, DWORD error) {
  if (!g_open.load()) return;
  const WideString text = ErrorDetail(WindowsErrorText(error), error);
  LogEvent(kind, detail.IsEmpty() ? text : detail + u": " + text);
}

WideString WindowsErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  WideString text;
  if (length != 0 && buffer != nullptr) text = WideString(buffer, static_cast<int>(length));
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.IsEmpty() &&
         (text.CharAt(kLastPosition) == u'\r' || text.CharAt(kLastPosition) == u'\n' ||
          text.CharAt(kLastPosition) == u' ')) {
    text.RemoveLast(1);
  }
  return text;
}

WideString AnswerName(int answer) {
  switch (answer) {
    case 0: return WideString(u"none");
    case IDOK: return WideString(u"OK");
    case IDCANCEL: return WideString(u"Cancel");
    case IDABORT: return WideString(u"Abort");
    case IDRETRY: return WideString(u"Retry");
    case IDIGNORE: return WideString(u"Ignore");
    case IDYES: return WideString(u"Yes");
    case IDNO: return WideString(u"No");
    case IDTRYAGAIN: return WideString(u"Try Again");
    case IDCONTINUE: return WideString(u"Continue");
    default: return WideString::FromInt(answer);
  }
}

WideString RegistryRootName(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return WideString(u"HKLM");
  if (root == HKEY_CURRENT_USER) return WideString(u"HKCU");
  if (root == HKEY_CLASSES_ROOT) return WideString(u"HKCR");
  if (root == HKEY_USERS) return WideString(u"HKU");
  if (root == HKEY_CURRENT_CONFIG) return WideString(u"HKCC");
  return WideString(u"HKEY");
}

namespace {

WideString RegistryValuePath(HKEY root, const WideString& keyPath, const WideString& valueName) {
  const WideString name = valueName.IsEmpty() ? WideString(u"(default)") : valueName;
  return RegistryRootName(root) + u"\\" + keyPath + u"\\" + name;
}

WideString RegistryData(DWORD type, const void* bytes, DWORD byteCount) {
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && bytes != nullptr) {
    int length = static_cast<int>(byteCount / sizeof(wchar_t));
    const auto* text = static_cast<const wchar_t*>(bytes);
    while (length > 0 && text[length - 1] == 0) --length;
    return u"\"" + WideString(text, length) + u"\"";
  }
  if (type == REG_DWORD && bytes != nullptr && byteCount == sizeof(DWORD)) {
    return WideString::FromUnsigned(*static_cast<const DWORD*>(bytes));
  }
  return WideString::Format(u"%u bytes of type %u", byteCount, type);
}

}  // namespace

void LogRegistryWrite(HKEY root, const WideString& keyPath, const WideString& valueName, DWORD type,
                      const void* bytes, DWORD byteCount, LONG status) {
  if (!g_open.load()) return;
  const WideString value = RegistryValuePath(root, keyPath, valueName);
  if (status != ERROR_SUCCESS) {
    LogWindowsError(log_kind::kFailure, u"registry set " + value, static_cast<DWORD>(status));
    return;
  }
  LogEvent(log_kind::kRegistrySet, value + u" = " + RegistryData(type, bytes, byteCount));
}

void LogRegistryRemoval(HKEY root, const WideString& keyPath, const WideString* valueName, LONG status) {
  if (!g_open.load()) return;
  const WideString path =
      valueName != nullptr ? RegistryValuePath(root, keyPath, *valueName) : RegistryRootName(root) + u"\\" + keyPath;
  if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return;
  if (status != ERROR_SUCCESS) {
    LogWindowsError(log_kind::kFailure, u"registry removal " + path, static_cast<DWORD>(status));
    return;
  }
  LogEvent(valueName != nullptr ? log_kind::kRegistryRemoved : log_kind::kRegistryKeyRemoved, path);
}
