#include "rollback/win/run_journal.h"

#include "engine/win/native_system_folder.h"
#include "rollback/journal_records.h"
#include "rollback/win/journal_roots.h"
#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/random.h"
#include "util/win/safe_files.h"

namespace {

// Buffered records are written out in pieces of about this size.
constexpr size_t kWriteAtBytes = 256 * 1024;

struct PlanEntry {
  WideString path;
  WideString aside;
  bool existed = false;
  bool kept = false;  // its old content is aside now
};

struct Journal {
  ScopedFileHandle file;
  WideString path;
  WideString tag;
  std::vector<uint8_t> buffer;
  bool planning = false;
  std::vector<PlanEntry> plan;
  size_t nextPlanned = 0;
  uint32_t unplannedAsides = 0;
  // Paths and values noted outside the plan, folders noted as made and keys
  // noted as created: each once.
  std::vector<WideString> notedFiles;
  std::vector<WideString> notedValues;
  std::vector<WideString> madeFolders;
  std::vector<WideString> createdKeys;
  std::vector<WideString> keptAsides;  // unplanned
  std::vector<WideString> keptOld;     // of the old version
  size_t ownFolders = 0;  // the first madeFolders: made for the journal itself
};

Journal* g_journal = nullptr;

bool FileInUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE;
}

bool Exists(const WideString& path) { return GetFileAttributesW(LongPathForm(path, MAX_PATH).W()) != INVALID_FILE_ATTRIBUTES; }

void WriteOut(Journal& journal, bool flush) {
  // A journal in memory keeps its records in the buffer.
  if (!journal.file) return;
  if (!journal.buffer.empty()) {
    DWORD written = 0;
    if (!WriteFile(journal.file.Get(), journal.buffer.data(), static_cast<DWORD>(journal.buffer.size()), &written,
                   nullptr) ||
        written != journal.buffer.size()) {
      LogWindowsError(log_kind::kFailure, u"rollback journal write", GetLastError());
    }
    journal.buffer.clear();
  }
  if (flush) FlushFileBuffers(journal.file.Get());
}

// A record of a change that the disk would not tell after a crash is
// flushed before the change; inside the plan, the plan's end flushes.
void Note(Journal& journal, const JournalRecord& record, bool flush) {
  AppendJournalRecord(record, journal.buffer);
  if (flush && !journal.planning) {
    WriteOut(journal, true);
  } else if (journal.buffer.size() >= kWriteAtBytes) {
    WriteOut(journal, false);
  }
}

// A folder as madeFolders holds it: without the backslashes at its end.
WideString FolderLevel(WideString folder) {
  while (folder.Length() > 3 && folder.CharAt(folder.Length()) == u'\\') folder.RemoveLast(1);
  return folder;
}

bool Listed(const std::vector<WideString>& list, const WideString& item) {
  for (const WideString& entry : list) {
    if (SamePath(entry, item)) return true;
  }
  return false;
}

// The missing levels of folder, shallowest first (so that undoing in
// reverse removes the deepest first).
void NoteMissingFolders(Journal& journal, const WideString& folder) {
  std::vector<WideString> missing;
  WideString level = folder;
  for (;;) {
    level = FolderLevel(level);
    if (level.Length() <= 3 || Listed(journal.madeFolders, level) || Exists(level)) break;
    missing.push_back(level);
    const WideString parent = ParentFolder(level);
    // A name without a folder (a value line read as a destination) has no
    // level above it.
    if (parent.Length() >= level.Length()) break;
    level = parent;
  }
  for (size_t i = missing.size(); i-- > 0;) {
    JournalRecord record;
    record.kind = JournalKind::FolderCreated;
    record.path = missing[i];
    Note(journal, record, false);
    journal.madeFolders.push_back(missing[i]);
  }
}

// The plan entry of path, looked for from where the pass is: the pass
// places the planned destinations in order.
PlanEntry* FindPlanned(Journal& journal, const WideString& path, uint32_t& index) {
  constexpr size_t kLookAhead = 64;
  for (size_t i = journal.nextPlanned; i < journal.plan.size() && i < journal.nextPlanned + kLookAhead; ++i) {
    if (SamePath(journal.plan[i].path, path)) {
      journal.nextPlanned = i + 1;
      index = static_cast<uint32_t>(i);
      return &journal.plan[i];
    }
  }
  return nullptr;
}

void ObserveRegistryWrite(HKEY root, const WideString& keyPath, const WideString& valueName) {
  JournalRegistryValue(root, keyPath, valueName);
}

}  // namespace

WideString RunJournalPath(const WideString& uninstallFolder, const WideString& product) {
  return uninstallFolder + u"PloveRollback-" + product + u".dat";
}

bool BeginRunJournal(const WideString& uninstallFolder, const WideString& product) {
  if (g_journal != nullptr) return true;
  Journal* journal = new Journal;
  journal->planning = true;  // the folder and the beginning are flushed with the plan
  NoteMissingFolders(*journal, uninstallFolder);
  for (const WideString& folder : journal->madeFolders) CreateNewFolder(folder);
  journal->ownFolders = journal->madeFolders.size();
  const WideString path = RunJournalPath(uninstallFolder, product);
  // Readable by another run, which can tell from a refused write access
  // that this one is live; by nobody but the administrative accounts, as it
  // names the files kept aside.
  journal->file = OpenByPath(path, GENERIC_READ | GENERIC_WRITE | WRITE_DAC, FILE_SHARE_READ, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN);
  if (journal->file && !ProtectThroughHandle(journal->file.Get(), Protection::AdministratorsOnly)) {
    LogWindowsError(log_kind::kFailure, u"access rules of the rollback journal " + path, GetLastError());
  }
  if (!journal->file) {
    LogWindowsError(log_kind::kFailure, u"rollback journal " + path + u" (the run cannot be undone)", GetLastError());
    for (size_t i = journal->madeFolders.size(); i-- > 0;) RemoveEmptyFolder(journal->madeFolders[i]);
    delete journal;
    return false;
  }
  journal->path = path;
  // The kept-aside names must not be guessable before the journal shows
  // them: 128 bits of the system's cryptographic source.
  uint64_t random[2] = {GetTickCount(), GetCurrentProcessId()};
  CryptoRandom(random, sizeof random);
  journal->tag = WideString::Hex16(random[0]) + WideString::Hex16(random[1]);
  std::vector<uint8_t> header;
  AppendJournalHeader(header);
  journal->buffer.insert(journal->buffer.begin(), header.begin(), header.end());
  JournalRecord begin;
  begin.kind = JournalKind::Begin;
  begin.path = product;
  begin.other = journal->tag;
  Note(*journal, begin, false);
  journal->planning = false;
  g_journal = journal;
  SetRegistryWriteObserver(&ObserveRegistryWrite);
  LogEvent(log_kind::kRollback, u"journal " + path);
  return true;
}

bool BeginMemoryJournal() {
  if (g_journal != nullptr) return true;
  g_journal = new Journal;
  AppendJournalHeader(g_journal->buffer);
  SetRegistryWriteObserver(&ObserveRegistryWrite);
  return true;
}

bool RunJournalActive() { return g_journal != nullptr; }

void NoteRunFolders(const std::vector<WideString>& destinations) {
  if (g_journal == nullptr) return;
  Journal& journal = *g_journal;
  WideString lastFolder;
  for (const WideString& destination : destinations) {
    const WideString folder = ParentFolder(destination);
    if (SamePath(folder, lastFolder)) continue;
    // A 64-bit product's folders in the system folder are in the real one.
    NativeSystemFolderScope native(folder);
    NoteMissingFolders(journal, folder);
    lastFolder = folder;
  }
  WriteOut(journal, true);
}

void StartRunPlan(const std::vector<WideString>& destinations) {
  if (g_journal == nullptr) return;
  Journal& journal = *g_journal;
  journal.planning = true;
  journal.plan.reserve(destinations.size());
  // A folder that this run makes held nothing before it: its files need no
  // look (a look for a name that is not there is a system call each, and
  // under Wine a read of the whole folder).
  WideString lastFolder;
  bool lastFolderMade = false;
  for (const WideString& destination : destinations) {
    PlanEntry entry;
    entry.path = destination;
    const WideString folder = ParentFolder(destination);
    if (lastFolder.IsEmpty() || !SamePath(folder, lastFolder)) {
      lastFolder = folder;
      lastFolderMade = Listed(journal.madeFolders, FolderLevel(folder));
    }
    entry.aside = folder + KeptAsideName(journal.tag, static_cast<uint32_t>(journal.plan.size()));
    {
      NativeSystemFolderScope native(destination);
      entry.existed = !lastFolderMade && Exists(destination);
    }
    JournalRecord record;
    record.kind = JournalKind::PlannedFile;
    record.number = static_cast<uint32_t>(journal.plan.size());
    record.type = entry.existed ? 1 : 0;
    record.path = entry.path;
    record.other = entry.aside;
    Note(journal, record, false);
    journal.plan.push_back(entry);
  }
}

JournalNotesAhead::JournalNotesAhead() : held_(g_journal != nullptr && !g_journal->planning) {
  if (held_) g_journal->planning = true;
}

JournalNotesAhead::~JournalNotesAhead() {
  if (!held_ || g_journal == nullptr) return;
  g_journal->planning = false;
  WriteOut(*g_journal, true);
}

void EndRunPlan() {
  if (g_journal == nullptr) return;
  JournalRecord end;
  end.kind = JournalKind::PlanEnd;
  Note(*g_journal, end, false);
  g_journal->planning = false;
  WriteOut(*g_journal, true);
}

KeepAside JournalBeforeFile(const WideString& path) {
  if (g_journal == nullptr) return KeepAside::NothingThere;
  Journal& journal = *g_journal;
  uint32_t index = 0;
  PlanEntry* planned = FindPlanned(journal, path, index);
  if (planned != nullptr && !planned->existed) {
    // Whatever is there now came since the plan: it is this run's own and
    // goes on rollback. (A folder that came there makes the placement fail
    // as it would without a journal.)
    JournalRecord placed;
    placed.kind = JournalKind::FilePlaced;
    placed.number = index;
    Note(journal, placed, false);
    return KeepAside::NothingThere;
  }
  const DWORD attributes = GetFileAttributesW(LongPathForm(path, MAX_PATH).W());
  // A folder where the file should go is not the run's to move: the
  // placement fails on it as it would without a journal.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return KeepAside::NothingThere;
  const bool present = attributes != INVALID_FILE_ATTRIBUTES;
  JournalRecord record;
  if (planned != nullptr) {
    record.kind = JournalKind::FilePlaced;
    record.number = index;
    Note(journal, record, false);
    // Not there before the run, or placed twice by the pass: what is there
    // is this run's own, and goes on rollback.
    if (!present || planned->kept || !planned->existed) return KeepAside::NothingThere;
  } else {
    // A path noted before is this run's own already.
    if (Listed(journal.notedFiles, path)) return KeepAside::NothingThere;
    journal.notedFiles.push_back(path);
    if (!present) {
      NoteMissingFolders(journal, ParentFolder(path));
      record.kind = JournalKind::FileCreated;
      record.path = path;
      Note(journal, record, true);
      return KeepAside::NothingThere;
    }
    record.kind = JournalKind::FileReplaced;
    record.path = path;
    record.other = ParentFolder(path) + KeptAsideName(journal.tag + u"u", journal.unplannedAsides++);
    Note(journal, record, true);
  }
  const WideString aside = planned != nullptr ? planned->aside : record.other;
  const WideString& from = path;
  const WideString& to = aside;
  bool kept = MoveItem(from, to, 0);
  if (!kept) {
    const DWORD error = GetLastError();
    if (FileInUse(error)) return KeepAside::InUse;
    // Not renamed (another volume, say): a copy keeps it as well.
    kept = CopyItem(from, to, true);
    if (!kept) {
      LogWindowsError(log_kind::kFailure, u"keeping aside " + path + u" (a rollback cannot restore it)",
                      GetLastError());
      return KeepAside::NotKept;
    }
  }
  if (planned != nullptr) {
    planned->kept = true;
  } else {
    journal.keptAsides.push_back(aside);
  }
  return KeepAside::Kept;
}

void JournalKeepOldFile(const WideString& path) {
  if (g_journal == nullptr || path.IsEmpty() || !Exists(path)) return;
  Journal& journal = *g_journal;
  // Not noted as the run's own: should the new install write over it where
  // its uninstaller left it, it goes aside first, and the link keeps the old
  // content.
  if (Listed(journal.keptOld, path)) return;
  journal.keptOld.push_back(path);
  JournalRecord record;
  record.kind = JournalKind::OldFileKept;
  record.path = path;
  record.other = ParentFolder(path) + KeptAsideName(journal.tag + u"o", journal.unplannedAsides++);
  Note(journal, record, true);
  if (LinkItem(record.other, path) || CopyItem(path, record.other, true)) {
    journal.keptAsides.push_back(record.other);
  } else {
    LogWindowsError(log_kind::kFailure, u"keeping " + path + u" of the old version", GetLastError());
  }
}

void JournalPendingRename(const WideString& destination, const WideString& staged) {
  if (g_journal == nullptr) return;
  JournalRecord record;
  record.kind = JournalKind::PendingRename;
  record.path = destination;
  record.other = staged;
  Note(*g_journal, record, true);
}

void JournalDllRegistration(const WideString& path) {
  if (g_journal == nullptr) return;
  JournalRecord record;
  record.kind = JournalKind::DllRegistered;
  record.path = path;
  Note(*g_journal, record, true);
}

void JournalProgramRun(const WideString& program) {
  if (g_journal == nullptr) return;
  JournalRecord record;
  record.kind = JournalKind::ProgramRun;
  record.path = program;
  Note(*g_journal, record, true);
}

void JournalRegistryValue(HKEY root, const WideString& keyPath, const WideString& valueName) {
  if (g_journal == nullptr || keyPath.IsEmpty()) return;
  Journal& journal = *g_journal;
  uint32_t rootNumber = 0;
  if (!JournalRootNumber(root, rootNumber)) return;
  const WideString rootText = WideString::FromUnsigned(rootNumber) + u"\\";
  const WideString key = rootText + keyPath;
  for (const WideString& created : journal.createdKeys) {
    if (SamePath(created, key) || key.StartsWith(created + u"\\", true)) return;
  }
  const WideString value = key + u"\\\\" + valueName;  // "\\" is in no key name
  if (Listed(journal.notedValues, value)) return;

  JournalRecord record;
  record.number = rootNumber;
  ScopedRegistryKey opened;
  if (RegOpenKeyExW(root, keyPath.W(), 0, KEY_QUERY_VALUE | RegistryViewFlag(), opened.Receive()) != ERROR_SUCCESS) {
    // The write creates the key: the topmost level that is missing goes on
    // rollback, with everything the run wrote below it.
    WideString level;
    int at = 0;
    do {
      at = keyPath.FindChar(u'\\', at + 1);
      level = at == 0 ? keyPath : keyPath.Left(at - 1);
      ScopedRegistryKey probe;
      if (RegOpenKeyExW(root, level.W(), 0, KEY_QUERY_VALUE | RegistryViewFlag(), probe.Receive()) != ERROR_SUCCESS)
        break;
    } while (at != 0);
    record.kind = JournalKind::RegistryKey;
    record.path = level;
    journal.createdKeys.push_back(rootText + level);
  } else {
    record.kind = JournalKind::RegistryValue;
    record.path = keyPath;
    record.other = valueName;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(opened.Get(), valueName.W(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      record.type = kAbsentValue;
    } else {
      record.bytes.resize(size);
      if (RegQueryValueExW(opened.Get(), valueName.W(), nullptr, &type, record.bytes.data(), &size) != ERROR_SUCCESS)
        size = 0;
      record.bytes.resize(size);
      record.type = type;
    }
    journal.notedValues.push_back(value);
  }
  Note(journal, record, true);
}

void DeleteKeptAside(const WideString& aside) {
  const WideString& path = aside;
  SetItemAttributes(path, FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileNoFollow(path)) return;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  // In use: it goes at the next restart.
  MoveItem(path, WideString(), MOVEFILE_DELAY_UNTIL_REBOOT);
}

void DeleteKeptAsideFiles(const std::vector<JournalRecord>& records) {
  for (const JournalRecord& record : records) {
    if (record.kind == JournalKind::PlannedFile || record.kind == JournalKind::FileReplaced ||
        record.kind == JournalKind::OldFileKept) {
      DeleteKeptAside(record.other);
    }
  }
}

namespace {

void CloseJournal(bool deleteFile) {
  Journal* journal = g_journal;
  g_journal = nullptr;
  SetRegistryWriteObserver(nullptr);
  if (journal == nullptr) return;
  journal->file.Reset();
  if (deleteFile && !journal->path.IsEmpty()) {
    DeleteFileNoFollow(journal->path);
    // The folder made for the journal, when nothing else came into it
    // (an install without an uninstaller).
    for (size_t i = journal->ownFolders; i-- > 0;) RemoveEmptyFolder(journal->madeFolders[i]);
  }
  delete journal;
}

}  // namespace

void CommitRunJournal() {
  if (g_journal == nullptr) return;
  Journal& journal = *g_journal;
  JournalRecord committed;
  committed.kind = JournalKind::Committed;
  Note(journal, committed, true);
  for (const PlanEntry& entry : journal.plan) {
    if (entry.kept) DeleteKeptAside(entry.aside);
  }
  for (const WideString& aside : journal.keptAsides) DeleteKeptAside(aside);
  LogEvent(log_kind::kRollback, u"committed: the journal and the kept-aside files go");
  CloseJournal(true);
}

bool ReadActiveJournal(std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (g_journal == nullptr) return false;
  Journal& journal = *g_journal;
  if (!journal.file) {
    bytes = journal.buffer;
    return true;
  }
  WriteOut(journal, false);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(journal.file.Get(), &size) || size.QuadPart > 0x7FFFFFFF) return false;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(journal.file.Get(), start, nullptr, FILE_BEGIN)) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  const bool read = bytes.empty() || (ReadFile(journal.file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                               &got, nullptr) &&
                                      got == bytes.size());
  SetFilePointerEx(journal.file.Get(), start, nullptr, FILE_END);
  return read;
}

void DiscardRunJournal() { CloseJournal(true); }
