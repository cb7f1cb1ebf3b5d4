#include "rollback/win/journal_undo.h"

#include <utility>

#include "engine/win/native_system_folder.h"
#include "engine/win/pending_renames.h"
#include "engine/win/product_folder.h"
#include "engine/win/program_runs.h"
#include "rollback/win/journal_roots.h"
#include "rollback/win/old_version_folders.h"
#include "rollback/win/run_journal.h"
#include "util/path_text.h"
#include "util/win/temp_names.h"
#include "util/win/file_system.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/safe_files.h"

namespace {

WideString Long(const WideString& path) { return LongPathForm(path, MAX_PATH); }
bool Exists(const WideString& path) { return GetFileAttributesW(Long(path).W()) != INVALID_FILE_ATTRIBUTES; }

bool Listed(const std::vector<WideString>& list, const WideString& item) {
  for (const WideString& entry : list) {
    if (SamePath(entry, item)) return true;
  }
  return false;
}

// A link on the way to path (path itself included) where the run had none:
// at or below the product folder (placement stops at a link there), or at
// or below a folder the run made. Someone swapped it in since: nothing is
// removed through it. Empty when there is none.
WideString LinkSwappedIn(const WideString& path, const std::vector<WideString>& madeFolders) {
  const WideString link = LinkInProductFolder(path);
  if (!link.IsEmpty()) return link;
  StringList levels;
  FolderTreeLevels(path, levels);
  bool made = false;
  for (int i = 0; i < levels.Count(); ++i) {
    made = made || Listed(madeFolders, levels.Item(i));
    if (made && PathIsLink(levels.Item(i))) return levels.Item(i);
  }
  return WideString();
}

bool LeftForALink(const WideString& path, const std::vector<WideString>& madeFolders) {
  const WideString link = LinkSwappedIn(path, madeFolders);
  if (link.IsEmpty()) return false;
  LogEvent(log_kind::kFailure, u"a link that the run did not make is on the way, nothing removed through it: " +
                                   link + u" (" + path + u")");
  return true;
}

// The folders the records say the run made.
std::vector<WideString> MadeFolders(const std::vector<JournalRecord>& records) {
  std::vector<WideString> folders;
  for (const JournalRecord& record : records) {
    if (record.kind == JournalKind::FolderCreated) folders.push_back(record.path);
  }
  return folders;
}

// A file of the run that cannot go now (a program of the run holds it)
// goes at the next restart. One behind a link swapped in since stays.
bool RemoveFile(const WideString& path, const std::vector<WideString>& madeFolders) {
  if (!Exists(path)) return true;
  WideString folder = ParentFolder(path);
  RemoveTrailingBackslashes(folder);
  if (LeftForALink(folder, madeFolders)) return true;
  if (DeleteFileForced(Long(path))) {
    LogEvent(log_kind::kRollback, u"removed " + path);
    return true;
  }
  MoveItem(path, WideString(), MOVEFILE_DELAY_UNTIL_REBOOT);
  return false;
}

// A kept-aside file, opened as itself (never through a link) once it is
// known to lie beside its destination and to be the file the run put aside
// when the journal says which that was. Invalid when it is not (logged).
ScopedFileHandle OpenKeptAside(const WideString& aside, const WideString& path, const KeptIdentity* identity) {
  if (!KeptAsideBeside(path, aside)) {
    LogEvent(log_kind::kFailure, u"a kept-aside name outside the folder of " + path + u", left: " + aside);
    return ScopedFileHandle();
  }
  ScopedFileHandle file =
      OpenNoFollow(aside, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true);
  if (!file) {
    LogWindowsError(log_kind::kFailure, u"opening the kept-aside file " + aside, GetLastError());
    return file;
  }
  ItemIdentity found;
  if (identity != nullptr && (!HandleIdentity(file.Get(), &found) || found.volumeSerial != identity->volumeSerial ||
                              found.fileId != identity->fileId)) {
    LogEvent(log_kind::kFailure, u"not the file this run kept aside, nothing put back: " + aside);
    return ScopedFileHandle();
  }
  return file;
}

bool PutBack(const WideString& aside, const WideString& path, const KeptIdentity* identity) {
  ScopedFileHandle file = OpenKeptAside(aside, path, identity);
  if (!file) return false;
  SetItemAttributes(path, FILE_ATTRIBUTE_NORMAL);
  if (!RenameThroughHandle(file.Get(), path, true)) return false;
  LogEvent(log_kind::kRollback, u"put back " + path);
  return true;
}

// A kept-aside file that is not to come back (the run's own first copy, an
// old version's file that is there again).
bool RemoveKeptAside(const WideString& aside, const WideString& path, const KeptIdentity* identity) {
  ScopedFileHandle file = OpenKeptAside(aside, path, identity);
  if (!file) return false;
  SetAttributesThroughHandle(file.Get(), FILE_ATTRIBUTE_NORMAL);
  return DeleteThroughHandle(file.Get());
}

bool UndoRegistryValue(const JournalRecord& record, HKEY root, const WideString& path) {
  if (root == nullptr) return true;
  ScopedRegistryKey key;
  if (record.type == kAbsentValue) {
    const LONG opened =
        RegOpenKeyExW(root, path.W(), 0, KEY_SET_VALUE | RegistryViewFlag(), key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND) return true;
    if (opened != ERROR_SUCCESS) return false;
    const LONG status = RegDeleteValueW(key.Get(), record.other.W());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  // The key may have gone since (an old version's uninstaller removes its
  // entry): it existed, and comes back with the value.
  if (RegCreateKeyExW(root, path.W(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | RegistryViewFlag(),
                      nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
    return false;
  return RegSetValueExW(key.Get(), record.other.W(), 0, record.type, record.bytes.data(),
                        static_cast<DWORD>(record.bytes.size())) == ERROR_SUCCESS;
}

bool UndoRegistryKey(HKEY root, const WideString& path) {
  if (root == nullptr) return true;
  const int last = path.FindLast(u'\\');
  const WideString parent = last == 0 ? WideString() : path.Left(last - 1);
  const WideString name = path.From(last + 1);
  if (parent.IsEmpty()) {
    // A key right below the root: its own subkeys first, then itself.
    StringList children;
    EnumerateSubkeys(root, path, children);
    for (int i = 0; i < children.Count(); ++i) DeleteRegistryTree(root, path, children.Item(i));
    const LONG status = RegDeleteKeyExW(root, path.W(), RegistryViewFlag(), 0);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  if (DeleteRegistryTree(root, parent, name)) return true;
  ScopedRegistryKey probe;
  return RegOpenKeyExW(root, path.W(), 0, KEY_QUERY_VALUE | RegistryViewFlag(), probe.Receive()) !=
         ERROR_SUCCESS;
}

// What the whole journal tells about its records.
struct JournalContext {
  WideString tag;                   // of the Begin record
  std::vector<bool> placed;         // per plan index: a FilePlaced was read
  uint32_t lastPlaced = 0;          // the highest plan index placed, plus one
  bool allRecords = false;          // the run's own, every record in memory
  bool committed = false;
  std::vector<WideString> keepRegistered;  // DLLs that were there before the run
  WideString userSid;                      // whose hive kRootCurrentUser was, when another's
  std::vector<WideString> replacedPaths;   // FileReplaced: what was there is put back by that record
  std::vector<std::pair<WideString, KeptIdentity>> asideIdentities;  // AsideIdentity, the last one's
  std::vector<WideString> madeFolders;                               // FolderCreated
  // The identity of record's kept-aside file: null when the journal has none.
  const KeptIdentity* IdentityOf(const JournalRecord& record, KeptIdentity& held) const {
    for (size_t i = asideIdentities.size(); i-- > 0;) {
      if (SamePath(asideIdentities[i].first, record.other)) return &asideIdentities[i].second;
    }
    return KeptIdentityOf(record, held) ? &held : nullptr;
  }
};

// The root and path a registry record names here: the current user's
// values of a run by another account are in that account's hive.
bool RegistryPlace(const JournalRecord& record, const JournalContext& context, HKEY& root, WideString& path) {
  root = JournalRootKey(record.number);
  path = record.path;
  if (record.number != kRootCurrentUser || context.userSid.IsEmpty()) return true;
  root = HKEY_USERS;
  path = context.userSid + u"\\" + record.path;
  // Its hive is not loaded (that user is not signed in): left for later.
  ScopedRegistryKey hive;
  return RegOpenKeyExW(HKEY_USERS, context.userSid.W(), 0, KEY_QUERY_VALUE, hive.Receive()) == ERROR_SUCCESS;
}

JournalContext ContextOf(const std::vector<JournalRecord>& records, bool allRecords) {
  JournalContext context;
  context.allRecords = allRecords;
  for (const JournalRecord& record : records) {
    switch (record.kind) {
      case JournalKind::Begin: context.tag = record.other; break;
      case JournalKind::FilePlaced:
        if (record.number < (1u << 24)) {
          if (context.placed.size() <= record.number) context.placed.resize(record.number + 1);
          context.placed[record.number] = true;
          if (record.number + 1 > context.lastPlaced) context.lastPlaced = record.number + 1;
        }
        break;
      case JournalKind::DllRegistered:
        if (record.type == kDllWasThere) context.keepRegistered.push_back(record.path);
        break;
      case JournalKind::Committed: context.committed = true; break;
      case JournalKind::RunUser:
        if (!SamePath(record.path, ProcessUserSid())) context.userSid = record.path;
        break;
      case JournalKind::FileReplaced: context.replacedPaths.push_back(record.path); break;
      case JournalKind::FolderCreated: context.madeFolders.push_back(record.path); break;
      case JournalKind::AsideIdentity: {
        KeptIdentity identity;
        if (KeptIdentityOf(record, identity)) context.asideIdentities.emplace_back(record.path, identity);
        break;
      }
      default: break;
    }
  }
  return context;
}

uint64_t SizeOf(const WideString& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Long(path).W(), GetFileExInfoStandard, &data)) return UINT64_MAX;
  return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// A destination that was not there at plan time and is there now: the
// run's own to delete, or a file someone else put there since.
bool WrittenByTheRun(const JournalRecord& record, const JournalContext& context) {
  const bool placedNoted = record.number < context.placed.size() && context.placed[record.number];
  const bool laterNoted = context.allRecords || context.committed || context.lastPlaced > record.number + 1;
  uint64_t size = 0;
  const bool sizeKnown = PlannedSize(record, size);
  return PlannedFileIsTheRuns(placedNoted, laterNoted, sizeKnown, sizeKnown && SizeOf(record.path) == size);
}

// The run's temporary files in folder, wherever the run stopped: only
// there, never through a link on the way (a folder swapped for one since).
void RemoveTempFiles(const WideString& folder, const WideString& tag) {
  if (tag.IsEmpty()) return;
  const WideString link = FirstLinkOnPath(folder);
  if (!link.IsEmpty()) {
    LogEvent(log_kind::kFailure, u"a link on the way to the run's temporary files, nothing removed through it: " + link);
    return;
  }
  WideString prefix = folder;
  AddBackslash(prefix);
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW(Long(prefix + RunTempFilePattern(tag)).W(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
    const WideString name(reinterpret_cast<const WChar*>(found.cFileName));
    if (!name.StartsWith(RunTempPrefix(tag), true)) continue;  // matched by its short name
    const WideString path = prefix + name;
    if (DeleteFileNoFollow(path)) LogEvent(log_kind::kRollback, u"removed " + path);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

// False when the record's change could not be undone. Every step can be
// taken again (a rollback cut short by a power loss is replayed whole).
bool UndoRecord(const JournalRecord& record, const JournalContext& context) {
  switch (record.kind) {
    case JournalKind::PlannedFile: {
      bool undone = true;
      KeptIdentity held;
      const KeptIdentity* identity = context.IdentityOf(record, held);
      switch (UndoOfPlannedFile(record.type != 0, Exists(record.other), Exists(record.path))) {
        case PlannedUndo::PutBack: undone = PutBack(record.other, record.path, identity); break;
        case PlannedUndo::Delete:
          // Someone else's file there, kept aside apart (FileReplaced), is
          // back by now: not the run's to delete.
          if (Listed(context.replacedPaths, record.path) || !WrittenByTheRun(record, context)) {
            LogEvent(log_kind::kRollback, u"not the run's, left: " + record.path);
            return true;
          }
          // The run's first copy, kept aside by a second placement, goes too.
          if (Exists(record.other)) RemoveKeptAside(record.other, record.path, nullptr);
          return RemoveFile(record.path, context.madeFolders);
        case PlannedUndo::Nothing: break;
      }
      // The run registered the file it replaced (or kept): the file that is
      // there now is registered again.
      if (undone && Listed(context.keepRegistered, record.path) && Exists(record.path) &&
          IsSelfRegisteringFile(record.path))
        RegisterDll(record.path);
      return undone;
    }
    case JournalKind::TempFiles: RemoveTempFiles(record.path, context.tag); return true;
    case JournalKind::DeletionCancelled:
      // Once only, however often the undo runs.
      CancelDeletionAtRestart(record.path);
      return ScheduleMoveAtRestart(Long(record.path), WideString());
    case JournalKind::FileCreated: return RemoveFile(record.path, context.madeFolders);
    case JournalKind::FileReplaced: {
      KeptIdentity held;
      return !Exists(record.other) || PutBack(record.other, record.path, context.IdentityOf(record, held));
    }
    case JournalKind::OldFileKept: {
      // Its uninstaller may have left its deletion for the restart. The new
      // install's own changes are undone by now: a file at path is the old
      // one, which its uninstaller did not remove (the link is that file).
      CancelDeletionAtRestart(record.path);
      KeptIdentity held;
      const KeptIdentity* identity = context.IdentityOf(record, held);
      bool back = false;
      if (!Exists(record.other)) {
        back = Exists(record.path);
      } else if (Exists(record.path)) {
        back = RemoveKeptAside(record.other, record.path, identity);
      } else {
        back = PutBack(record.other, record.path, identity);
      }
      // Its uninstaller unregistered every DLL and control it removed; the
      // old version registered them at its install, so they are again.
      if (back && (record.type & kAttributesNoted) != 0) SetItemAttributes(record.path, record.type & ~kAttributesNoted);
      if (back && IsSelfRegisteringFile(record.path)) RegisterDll(record.path);
      return back;
    }
    case JournalKind::FolderCreated: return true;  // once the journal is gone (RemoveFoldersOfRun)
    case JournalKind::RegistryKey: {
      HKEY root = nullptr;
      WideString path;
      if (!RegistryPlace(record, context, root, path) || !UndoRegistryKey(root, path)) return false;
      LogRegistryRemoval(root, path, nullptr, ERROR_SUCCESS);
      return true;
    }
    case JournalKind::RegistryValue: {
      HKEY root = nullptr;
      WideString path;
      return RegistryPlace(record, context, root, path) && UndoRegistryValue(record, root, path);
    }
    case JournalKind::PendingRename:
      CancelReplacementAtRestart(record.path, record.other);
      if (record.type == kEarlierPairReplaced) {
        // The earlier install's staged file comes back (its FileReplaced
        // record, undone next), and its pair with it.
        return ScheduleMoveAtRestart(Long(record.path), WideString()) &&
               ScheduleMoveAtRestart(Long(record.other), Long(record.path));
      }
      return RemoveFile(record.other, context.madeFolders);
    case JournalKind::DllRegistered:
      // Only the run's own new file: one that was there keeps its
      // registration (and a replaced one is registered again when it is back).
      if (record.type != kDllWasThere && Exists(record.path)) UnregisterDllServer(record.path);
      return true;
    case JournalKind::ProgramRun:
      LogEvent(log_kind::kRollback, u"cannot be undone: the program run " + record.path);
      return true;
    case JournalKind::None:
    case JournalKind::Begin:
    case JournalKind::RunUser:
    case JournalKind::AsideIdentity:
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

void UndoJournalRecords(const std::vector<JournalRecord>& records, StringList& notRestored, bool allRecords) {
  const JournalContext context = ContextOf(records, allRecords);
  for (size_t i = records.size(); i-- > 0;) {
    // A 64-bit product's file in the system folder is in the real one. An
    // old version's file was kept where this process sees it: it goes back
    // there.
    NativeSystemFolderScope native(records[i].kind == JournalKind::OldFileKept ? WideString() : records[i].path);
    if (UndoRecord(records[i], context)) continue;
    notRestored.Add(WhatItChanged(records[i]));
    LogEvent(log_kind::kFailure, u"rollback could not restore " + WhatItChanged(records[i]));
  }
}

void RemoveFoldersOfRun(const std::vector<JournalRecord>& records) {
  const std::vector<WideString> madeFolders = MadeFolders(records);
  for (size_t i = records.size(); i-- > 0;) {
    // Removed only when empty: what is left in one is not the run's.
    if (records[i].kind == JournalKind::FolderCreated && !LeftForALink(records[i].path, madeFolders) &&
        RemoveEmptyFolder(records[i].path))
      LogEvent(log_kind::kFolderRemoved, records[i].path);
  }
}

bool RollBackRunJournal(StringList& notRestored, bool* programsRun) {
  // Never two undos at once, nor one beside a thread that is still noting
  // a change: the journal stays as a killed run leaves it, for the next run.
  if (RunJournalBusyElsewhere()) {
    LogEvent(log_kind::kFailure, u"another thread is inside the journal: the undo is left to the next run");
    return false;
  }
  const JournalBusy busy;
  std::vector<uint8_t> bytes;
  if (!RunJournalActive()) return false;
  ReadActiveJournal(bytes);
  const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
  if (programsRun != nullptr) {
    *programsRun = false;
    for (const JournalRecord& record : reading.records) *programsRun = *programsRun || record.kind == JournalKind::ProgramRun;
  }
  // Nothing is written while undoing.
  SetRegistryWriteObserver(nullptr);
  LogEvent(log_kind::kRollback, u"undoing the changes of this run");
  UndoJournalRecords(reading.records, notRestored, true);
  if (notRestored.Count() > 0) {
    // A kept-aside file that did not go back would be orphaned with the
    // journal: the next run of the product tries again.
    KeepRunJournalForRetry();
    return true;
  }
  DiscardRunJournal();
  RemoveFoldersOfRun(reading.records);
  return true;
}

EarlierRun RecoverEarlierRun(const WideString& uninstallFolder, const WideString& product, StringList& notRestored) {
  const JournalBusy busy;
  const WideString path = RunJournalPath(uninstallFolder, product);
  if (RunJournalActive() || !ClaimProductRun(product)) {
    LogEvent(log_kind::kRollback, u"the journal of another run, left alone: " + path);
    return EarlierRun::Live;
  }
  // The run of the product is this process's now: a journal there is an
  // ended run's, whoever else reads it.
  ScopedFileHandle file =
      OpenByPath(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return EarlierRun::None;
    LogWindowsError(log_kind::kFailure, u"the journal of an interrupted run cannot be read: " + path, error);
    return EarlierRun::Unreadable;
  }
  LARGE_INTEGER size{};
  std::vector<uint8_t> bytes;
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart >= 0x7FFFFFFF) {
    LogEvent(log_kind::kFailure, u"the journal of an interrupted run cannot be read: " + path);
    return EarlierRun::Unreadable;
  }
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
                         got != bytes.size())) {
    LogWindowsError(log_kind::kFailure, u"the journal of an interrupted run cannot be read: " + path, GetLastError());
    return EarlierRun::Unreadable;
  }
  const JournalReading reading = ReadJournal(bytes.data(), bytes.size());
  if (reading.Refused()) {
    // Undoing half of it could do more harm than the interrupted run did:
    // nothing changes, and the journal stays for a version that reads it.
    LogEvent(log_kind::kFailure, WideString(reading.refusal == JournalRefusal::NewerVersion
                                                ? u"the journal of an interrupted run is of a newer version, kept: "
                                                : u"the journal of an interrupted run is damaged, kept: ") +
                                     path);
    return EarlierRun::Unreadable;
  }
  EarlierRun result = EarlierRun::RolledBack;
  if (reading.Committed()) {
    LogEvent(log_kind::kRollback, u"an earlier run had ended well: its kept-aside files go, " + path);
    DeleteKeptAsideFiles(reading.records, reading.version);
    result = EarlierRun::Committed;
  } else {
    LogEvent(log_kind::kRollback, u"an earlier run was interrupted: undoing it from " + path);
    UndoJournalRecords(reading.records, notRestored, false);
  }
  file.Reset();
  // Kept while something could not be put back: the next run tries again
  // (every step can be taken again) rather than orphan a kept-aside file.
  if (notRestored.Count() > 0) return result;
  SetItemAttributes(path, FILE_ATTRIBUTE_NORMAL);
  DeleteFileNoFollow(path);
  if (result == EarlierRun::RolledBack) RemoveFoldersOfRun(reading.records);
  if (result == EarlierRun::Committed) {
    std::vector<WideString> oldFiles;
    for (const JournalRecord& record : reading.records) {
      if (record.kind == JournalKind::OldFileKept) oldFiles.push_back(record.path);
    }
    RemoveOldVersionFolders(oldFiles);
  }
  return result;
}
