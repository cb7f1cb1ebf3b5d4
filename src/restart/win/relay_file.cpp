#include "restart/win/relay_file.h"

#include "app/install_state.h"
#include "engine/win/program_runs.h"
#include "restart/win/parent_process.h"
#include "script/win/read_line.h"
#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

constexpr int kWriteAttempts = 50;
constexpr DWORD kWriteRetryMs = 100;
constexpr DWORD kLookMs = 250;
// How long a written command may lie in the file without the first process
// taking it. Once taken it may take as long as it needs.
constexpr DWORD kNotTakenMs = 30000;
// The other side holds the file only for a moment unless it performs a
// command; the reader tries again for about two seconds.
constexpr int kOpenAttempts = 40;
constexpr DWORD kOpenRetryMs = 50;

const WChar kResultTag[] = u"[result]";

// The relay file opened for this process alone, or an invalid handle with
// the reason in error.
ScopedFileHandle OpenAlone(const WideString& path, DWORD* error) {
  ScopedFileHandle file = OpenByPath(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  *error = file ? ERROR_SUCCESS : GetLastError();
  return file;
}

bool Empty(HANDLE file) {
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  return SetEndOfFile(file) != FALSE;
}

uint64_t SizeOf(HANDLE file) {
  LARGE_INTEGER size{};
  return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

WideString CommandText(const StringList& lines) {
  WideString text;
  for (int i = 0; i < lines.Count(); ++i) {
    if (i > 0) text.AppendChar(u' ');
    text.Append(lines.Item(i));
  }
  return text;
}

// Fails the command: logs why and leaves the reason for GetLastError().
bool Failed(const StringList& lines, const WChar* why, DWORD error) {
  LogWindowsError(log_kind::kFailure, u"relay command " + CommandText(lines) + u" " + why, error);
  SetLastError(error);
  return false;
}

// Writes the command whole into the existing file, or leaves it empty.
bool WriteCommand(const WideString& relayPath, const StringList& lines, DWORD* error) {
  WideString text;
  for (int i = 0; i < lines.Count(); ++i) {
    text.Append(lines.Item(i));
    text.Append(u"\r\n");
  }
  const DWORD bytes = static_cast<DWORD>(text.Length() * sizeof(WChar));
  *error = ERROR_FILE_NOT_FOUND;
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    if (attempt > 0) Sleep(kWriteRetryMs);
    ScopedFileHandle file = OpenAlone(relayPath, error);
    if (!file) continue;
    DWORD written = 0;
    if (WriteFile(file.Get(), text.Text(), bytes, &written, nullptr) && written == bytes && SetEndOfFile(file.Get()))
      return true;
    *error = GetLastError();
    if (*error == ERROR_SUCCESS) *error = ERROR_WRITE_FAULT;
    // Half a command must never be performed.
    Empty(file.Get());
    return false;
  }
  return false;
}

enum class Look { Performed, Waiting, Taken, Gone };

// Where the command stands. With takeBack, a command still unread is
// removed from the file.
Look LookAtCommand(const WideString& relayPath, bool takeBack) {
  DWORD error = ERROR_SUCCESS;
  ScopedFileHandle file = OpenAlone(relayPath, &error);
  if (!file) {
    if (error == ERROR_SHARING_VIOLATION) return Look::Taken;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Look::Gone;
    return Look::Waiting;
  }
  if (SizeOf(file.Get()) == 0) return Look::Performed;
  if (takeBack) Empty(file.Get());
  return Look::Waiting;
}

void PerformCommands(DiskFile& file, RelayResult* result, RelayPass pass) {
  WideString line;
  while (ReadLine(file, line, true)) {
    const bool run = line == WideString(u"[run]");
    const bool dword = line == WideString(u"[setreg_hkcu_dword]");
    const bool string = line == WideString(u"[setreg_hkcu_string]");
    const bool exitCode = line == WideString(kResultTag);
    if (!run && !dword && !string && !exitCode) continue;
    WideString values[3];
    ReadValueLines(file, values, 3, true);
    if (exitCode) {
      if (result != nullptr) {
        result->known = true;
        result->exitCode = static_cast<int>(values[0].ParseInteger());
      }
    } else if (pass == RelayPass::ResultOnly) {
      continue;
    } else if (run) {
      if (!values[0].IsEmpty()) RunProgram(values[0], values[1], values[2].ParseInteger() != 0, false, nullptr);
    } else if (dword) {
      const DWORD number = static_cast<DWORD>(values[2].ParseInteger());
      WriteRegistryValue(HKEY_CURRENT_USER, values[1], values[0], REG_DWORD, &number, sizeof(number));
    } else {
      WriteRegistryString(HKEY_CURRENT_USER, values[1], values[0], values[2]);
    }
  }
}

}  // namespace

bool SendRelayCommand(const StringList& lines) { return SendRelayCommand(State().RelayPath, lines); }

bool SendRelayCommand(const WideString& relayPath, const StringList& lines) {
  WatchParentProcess();
  DWORD error = ERROR_SUCCESS;
  if (!WriteCommand(relayPath, lines, &error)) return Failed(lines, u"could not be written", error);
  DWORD quietSince = GetTickCount();
  for (;;) {
    switch (LookAtCommand(relayPath, false)) {
      case Look::Performed:
        return true;
      case Look::Gone:
        return Failed(lines, u"was lost: the relay file has gone", ERROR_FILE_NOT_FOUND);
      case Look::Taken:
        quietSince = GetTickCount();
        break;
      case Look::Waiting:
        if (GetTickCount() - quietSince < kNotTakenMs) break;
        // Nobody serves the file (a copy started by hand has only a shell
        // for a parent). Taken just now after all: wait for it.
        switch (LookAtCommand(relayPath, true)) {
          case Look::Performed: return true;
          case Look::Taken: quietSince = GetTickCount(); break;
          default: return Failed(lines, u"was not taken by the first process within 30 s", ERROR_TIMEOUT);
        }
        break;
    }
    const ParentStatus parent = WaitForParent(kLookMs);
    if (parent == ParentStatus::Ended) {
      // Nobody is left to perform the command or to remove the file.
      if (LookAtCommand(relayPath, true) == Look::Performed) return true;
      DeleteFileForced(relayPath);
      return Failed(lines, u"was not performed: the first process has ended", ERROR_PROCESS_ABORTED);
    }
    if (parent == ParentStatus::Unknown) Sleep(kLookMs);
  }
}

bool SendRelayResult(const WideString& relayPath, int exitCode) {
  StringList lines;
  lines.Add(WideString(kResultTag));
  lines.Add(WideString::FromInt(exitCode));
  lines.Add(WideString());
  lines.Add(WideString());
  DWORD error = ERROR_SUCCESS;
  if (!WriteCommand(relayPath, lines, &error)) return Failed(lines, u"could not be written", error);
  return true;
}

void ProcessRelayCommands(const WideString& relayPath, RelayResult* result, RelayPass pass) {
  if (relayPath.IsEmpty()) return;
  ScopedFileHandle file;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (attempt > 0) Sleep(kOpenRetryMs);
    file = OpenAlone(relayPath, &error);
    // The writer holds the file only while it writes or looks at it.
    if (file || error != ERROR_SHARING_VIOLATION) break;
  }
  // No command in flight: nothing to do (the usual answer to the look after
  // the copy has ended).
  if (!file || SizeOf(file.Get()) == 0) return;
  {
    DiskFile reader;
    reader.Attach(file.Get());
    PerformCommands(reader, result, pass);
  }
  // Empty again: the writer sees its command performed.
  Empty(file.Get());
}
