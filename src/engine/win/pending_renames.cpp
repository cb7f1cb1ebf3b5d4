#include "engine/win/pending_renames.h"

#include <cwchar>
#include <vector>

#include "util/path_text.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

RestartMoveCall g_moveCall = nullptr;

// A path in the plain form Win32 callers write: "\??\" (as stored) and
// "\\?\" prefixes removed, "UNC\server" back to "\\server".
WideString PlainPath(WideString path) {
  if (path.StartsWith(WideString(u"\\??\\")) || path.StartsWith(WideString(u"\\\\?\\"))) {
    path = path.From(5);
    if (path.StartsWith(WideString(u"UNC\\"), true)) path = WideString(u"\\\\") + path.From(5);
  }
  return path;
}

// A rename target may carry a "!" (replace an existing file).
WideString PlainTarget(const wchar_t* target) {
  return PlainPath(WideString(target[0] == L'!' ? target + 1 : target));
}

struct PendingEntry {
  size_t at;      // first character of the source in the value
  size_t length;  // characters of both strings with their terminators
  const wchar_t* source;
  const wchar_t* target;
};

// Splits the value into its pairs; an empty source ends the list.
std::vector<PendingEntry> SplitPairs(const std::vector<wchar_t>& data, size_t count) {
  std::vector<PendingEntry> entries;
  size_t at = 0;
  while (at < count) {
    const size_t sourceLength = wcslen(&data[at]);
    if (sourceLength == 0) break;
    const size_t targetAt = at + sourceLength + 1;
    if (targetAt >= data.size()) break;
    const size_t next = targetAt + wcslen(&data[targetAt]) + 1;
    entries.push_back(PendingEntry{at, next - at, &data[at], &data[targetAt]});
    at = next;
  }
  return entries;
}

}  // namespace

bool ScheduleMoveAtRestart(const WideString& from, const WideString& to) {
  if (g_moveCall == nullptr) return MoveItem(from, to, MOVEFILE_DELAY_UNTIL_REBOOT);
  return g_moveCall(from.W(), to.IsEmpty() ? nullptr : to.W(), MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

namespace {

// The value's strings with two spare terminators, so every string ends
// inside the buffer; count is the characters read. False when there is no
// such value.
bool ReadPendingValue(HKEY key, std::vector<wchar_t>& data, size_t& count) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, kPendingValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ || size == 0)
    return false;
  data.assign(size / sizeof(wchar_t) + 2, L'\0');
  if (RegQueryValueExW(key, kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
          ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return false;
  count = size / sizeof(wchar_t);
  return true;
}

// A deletion that stands alone: no new name, and not directly followed by
// a rename onto the same path (the first half of a replacement).
bool LoneDeletion(const std::vector<PendingEntry>& entries, size_t i) {
  if (entries[i].target[0] != L'\0') return false;
  if (i + 1 == entries.size() || entries[i + 1].target[0] == L'\0') return true;
  return !SamePath(PlainTarget(entries[i + 1].target), PlainPath(WideString(entries[i].source)));
}

// Writes the value again without the entries that drop(entries, i) picks
// (no value when none is left). True when something was dropped.
template <typename Drop>
bool DropPendingEntries(Drop drop) {
  ScopedRegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Receive()) !=
      ERROR_SUCCESS)
    return false;
  std::vector<wchar_t> data;
  size_t count = 0;
  if (!ReadPendingValue(key.Get(), data, count)) return false;
  const std::vector<PendingEntry> entries = SplitPairs(data, count);
  std::vector<wchar_t> kept;
  bool dropped = false;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (drop(entries, i)) {
      dropped = true;
    } else {
      kept.insert(kept.end(), &data[entries[i].at], &data[entries[i].at] + entries[i].length);
    }
  }
  if (!dropped) return false;
  if (kept.empty()) return RegDeleteValueW(key.Get(), kPendingValue) == ERROR_SUCCESS;
  kept.push_back(L'\0');
  return RegSetValueExW(key.Get(), kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                        static_cast<DWORD>(kept.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SourceIs(const PendingEntry& entry, const WideString& plainPath) {
  return SamePath(PlainPath(WideString(entry.source)), plainPath);
}

}  // namespace

bool CancelDeletionAtRestart(const WideString& path) {
  const WideString wanted = PlainPath(path);
  return DropPendingEntries([&wanted](const std::vector<PendingEntry>& entries, size_t i) {
    return LoneDeletion(entries, i) && SourceIs(entries[i], wanted);
  });
}

bool CancelReplacementAtRestart(const WideString& destination, const WideString& staged) {
  const WideString file = PlainPath(destination);
  const WideString replacement = PlainPath(staged);
  return DropPendingEntries([&](const std::vector<PendingEntry>& entries, size_t i) {
    const PendingEntry& entry = entries[i];
    if (SourceIs(entry, replacement) && SamePath(PlainTarget(entry.target), file)) return true;
    // The deletion of the file directly before its replacement.
    return entry.target[0] == L'\0' && i + 1 < entries.size() && SourceIs(entry, file) &&
           SourceIs(entries[i + 1], replacement);
  });
}

bool DeletionWatch::Cancel(const WideString& path) {
  if (!Current()) return CancelDeletionAtRestart(path);
  const WideString wanted = PlainPath(path);
  for (const WideString& deletion : deletions_) {
    if (!SamePath(deletion, wanted)) continue;
    watching_ = false;  // changed here: read again next time
    return CancelDeletionAtRestart(path);
  }
  return false;
}

bool DeletionWatch::Current() {
  // The registration belongs to the thread that made it and ends with it.
  if (watching_ && thread_ == GetCurrentThreadId()) {
    // Asking about the notification is a call into the kernel, which costs
    // as much as placing a small file while other threads keep the
    // processors busy: not for every file.
    const DWORD now = GetTickCount();
    if (now - lastCheck_ < kCheckIntervalMs) return true;
    lastCheck_ = now;
    if (WaitForSingleObject(changed_.Get(), 0) == WAIT_TIMEOUT) return true;
  }
  watching_ = false;
  deletions_.clear();
  if (!key_ && RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_NOTIFY,
                             key_.Receive()) != ERROR_SUCCESS)
    return false;
  if (!changed_) changed_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!changed_) return false;
  ResetEvent(changed_.Get());
  // Watching first, then reading: a change after the read is seen.
  if (RegNotifyChangeKeyValue(key_.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed_.Get(), TRUE) !=
      ERROR_SUCCESS)
    return false;
  std::vector<wchar_t> data;
  size_t count = 0;
  if (ReadPendingValue(key_.Get(), data, count)) {
    const std::vector<PendingEntry> entries = SplitPairs(data, count);
    for (size_t i = 0; i < entries.size(); ++i) {
      if (LoneDeletion(entries, i)) deletions_.push_back(PlainPath(WideString(entries[i].source)));
    }
  }
  thread_ = GetCurrentThreadId();
  lastCheck_ = GetTickCount();
  watching_ = true;
  return true;
}

void SetRestartMoveCallForTests(RestartMoveCall call) { g_moveCall = call; }
