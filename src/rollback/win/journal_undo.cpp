#include "rollback/win/journal_undo.h"

#include "engine/win/native_system_folder.h"
#include "engine/win/pending_renames.h"
#include "engine/win/program_runs.h"
#include "rollback/win/journal_roots.h"
#include "rollback/win/run_journal.h"
#include "util/path_text.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

WideString Long(const WideString& path) { return LongPathForm(path, MAX_PATH); }
bool Exists(const WideString& path) { return GetFileAttributesW(Long(path).W()) != INVALID_FILE_ATTRIBUTES; }

// A file of the run that cannot go now (a program of the run holds it)
// goes at the next restart.
bool RemoveFile(const WideString& path) {
  if (!Exists(path)) return true;
  if (DeleteFileForced(Long(path))) {
    LogEvent(log_kind::kRollback, u"removed " + path);
    return true;
  }
  MoveItem(path, WideString(), MOVEFILE_DELAY_UNTIL_REBOOT);
  return false;
}

bool PutBack(const WideString& aside, const WideString& path) {
  SetItemAttributes(path, FILE_ATTRIBUTE_NORMAL);
  if (!MoveItem(aside, path, MOVEFILE_REPLACE_EXISTING)) return false;
  LogEvent(log_kind::kRollback, u"put back " + path);
  return true;
}

bool UndoRegistryValue(const JournalRecord& record) {
  const HKEY root = JournalRootKey(record.number);
  if (root == nullptr) return true;
  ScopedRegistryKey key;
  if (record.type == kAbsentValue) {
    const LONG opened =
        RegOpenKeyExW(root, record.path.W(), 0, KEY_SET_VALUE | RegistryViewFlag(), key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    const LONG status = RegDeleteValueW(key.Get(), record.other.W());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  // The key may have gone since (an old version's uninstaller removes its
  // entry): it existed, and comes back with the value.
  if (RegCreateKeyExW(root, record.path.W(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | RegistryViewFlag(),
                      nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExW(key.Get(), record.other.W(), 0, record.type, record.bytes.data(),
                        static_cast<DWORD>(record.bytes.size())) == ERROR_SUCCESS;
}

bool UndoRegistryKey(const JournalRecord& record) {
  const HKEY root = JournalRootKey(record.number);
  if (root == nullptr) return true;
  const int last = record.path.FindLast(u'\\');
  const WideString parent = last == 0 ? WideString() : record.path.Left(last - 1);
  const WideString name = record.path.From(last + 1);
  if (parent.IsEmpty()) {
    // A key right below the root: its own subkeys first, then itself.
    StringList children;
    EnumerateSubkeys(root, record.path, children);
    for (int i = 0; i < children.Count(); ++i) DeleteRegistryTree(root, record.path, children.Item(i));
    const LONG status = RegDeleteKeyExW(root, record.path.W(), RegistryViewFlag(), 0);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  if (DeleteRegistryTree(root, parent, name)) return true;
  ScopedRegistryKey probe;
  return RegOpenKeyExW(root, record.path.W(), 0, KEY_QUERY_VALUE | RegistryViewFlag(), probe.Receive()) !=
         ERROR_SUCCESS;
}

// False when the record's change could not be undone.
bool UndoRecord(const JournalRecord& record) {
  switch (record.kind) {
    case JournalKind::PlannedFile:
      switch (UndoOfPlannedFile(record.type != 0, Exists(record.other), Exists(record.path))) {
        case PlannedUndo::PutBack: return PutBack(record.other, record.path);
        case PlannedUndo::Delete:
          // The run's first copy, kept aside by a second placement, goes too.
          if (Exists(record.other)) RemoveFile(record.other);
          return RemoveFile(record.path);
        case PlannedUndo::Nothing: return true;
      }
      return true;
    case JournalKind::FileCreated: return RemoveFile(record.path);
    case JournalKind::FileReplaced: return !Exists(record.other) || PutBack(record.other, record.path);
    case JournalKind::OldFileKept: {
      // Its uninstaller may have left its deletion for the restart. The new
      // install's own changes are undone by now: a file at path is the old
      // one, which its uninstaller did not remove (the link is that file).
      CancelDeletionAtRestart(record.path);
      bool back = false;
      if (!Exists(record.other)) {
        back = Exists(record.path);
      } else if (Exists(record.path)) {
        back = DeleteFileForced(Long(record.other));
      } else {
        back = PutBack(record.other, record.path);
      }
      // Its uninstaller unregistered every DLL and control it removed; the
      // old version registered them at its install, so they are again.
      if (back && IsSelfRegisteringFile(record.path)) RegisterDll(record.path);
      return back;
    }
    case JournalKind::FolderCreated: return true;  // once the journal is gone (RemoveFoldersOfRun)
    case JournalKind::RegistryKey:
      if (!UndoRegistryKey(record)) return false;
      LogRegistryRemoval(JournalRootKey(record.number), record.path, nullptr, ERROR_SUCCESS);
      return true;
    case JournalKind::RegistryValue: return UndoRegistryValue(record);
    case JournalKind::PendingRename:
      CancelReplacementAtRestart(record.path, record.other);
      return RemoveFile(record.other);
    case JournalKind::DllRegistered:
      if (Exists(record.path)) UnregisterDllServer(record.path);
      return true;
    case JournalKind::ProgramRun:
      LogEvent(log_kind::kRollback, u"cannot be undone: the program run " + record.path);
      return true;
    case JournalKind::None:
    case JournalKind::Begin:
    case JournalKind::PlanEnd:
    case JournalKind::FilePlaced:
    case JournalKind::Committed: return true;
  }
  return true;
}

// What a record names for the person told that it could not be undone.
WideString WhatItChanged(const JournalRecord& record) {
  if (record.kind == JournalKind::RegistryValue) return record.path + u"\\" + record.other;
  return record.path;
}

}  // namespace

void UndoJournalRecords(const std::vector<JournalRecord>& records, StringList& notRestored) {
  for (size_t i = records.size(); i-- > 0;) {
    // A 64-bit product's file in the system folder is in the real one.
    NativeSystemFolderScope native(records[i].path);
    if (UndoRecord(records[i])) continue;
    notRestored.Add(WhatItChanged(records[i]));
    LogEvent(log_kind::kFailure, u"rollback could not restore " + WhatItChanged(records[i]));
  }
}

void RemoveFoldersOfRun(const std::vector<JournalRecord>& records) {
  for (size_t i = records.size(); i-- > 0;) {
    // Removed only when empty: what is left in one is not the run's.
    if (records[i].kind == JournalKind::FolderCreated && RemoveEmptyFolder(records[i].path))
      LogEvent(log_kind::kFolderRemoved, records[i].path);
  }
}

bool RollBackRunJournal(StringList& notRestored) {
  std::vector<uint8_t> bytes;
  if (!RunJournalActive()) return false;
  ReadActiveJournal(bytes);
  const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
  // Nothing is written while undoing.
  SetRegistryWriteObserver(nullptr);
  LogEvent(log_kind::kRollback, u"undoing the changes of this run");
  UndoJournalRecords(reading.records, notRestored);
  DiscardRunJournal();
  RemoveFoldersOfRun(reading.records);
  return true;
}

EarlierRun RecoverEarlierRun(const WideString& uninstallFolder, const WideString& product, StringList& notRestored) {
  const WideString path = RunJournalPath(uninstallFolder, product);
  ScopedFileHandle file = OpenByPath(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return EarlierRun::None;
    LogWindowsError(log_kind::kRollback, u"the journal of another run, left alone: " + path, error);
    return EarlierRun::Live;
  }
  LARGE_INTEGER size{};
  std::vector<uint8_t> bytes;
  if (GetFileSizeEx(file.Get(), &size) && size.QuadPart < 0x7FFFFFFF) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)))
      got = 0;
    bytes.resize(got);
  }
  const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
  EarlierRun result = EarlierRun::RolledBack;
  if (reading.Committed()) {
    LogEvent(log_kind::kRollback, u"an earlier run had ended well: its kept-aside files go, " + path);
    DeleteKeptAsideFiles(reading.records);
    result = EarlierRun::Committed;
  } else {
    LogEvent(log_kind::kRollback, u"an earlier run was interrupted: undoing it from " + path);
    UndoJournalRecords(reading.records, notRestored);
  }
  file.Reset();
  SetItemAttributes(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileNoFollow(path);
  if (result == EarlierRun::RolledBack) RemoveFoldersOfRun(reading.records);
  return result;
}
