#include "rollback/win/run_journal.h"

#include <atomic>

#include "engine/win/native_system_folder.h"
#include "rollback/journal_records.h"

#include <sddl.h>
#include "rollback/win/journal_roots.h"
#include "util/path_text.h"
#include "util/win/install_log.h"
#include "util/win/registry.h"
#include "util/win/scoped_handle.h"
#include "util/win/random.h"
#include "util/win/safe_files.h"
#include "util/win/temp_names.h"

namespace {

// Buffered records are written out in pieces of about this size.
constexpr size_t kWriteAtBytes = 256 * 1024;
// Space written ahead (zeros) when the journal opens, and per planned
// destination: what its records take, so that a disk that fills up during
// the run still takes the journal.
constexpr uint64_t kReservedAtStart = 64 * 1024;
constexpr uint64_t kReservedPerFile = 96;

struct PlanEntry {
  WideString path;
  WideString aside;
  bool existed = false;
  bool kept = false;    // its old content is aside now
  bool placed = false;  // the pass went on to write it
  bool foreign = false;  // not there at plan time, someone else's at placement: kept aside apart
  bool identified = false;  // identity: of the file there at plan time
  KeptIdentity identity;
};

struct Journal {
  ScopedFileHandle file;
  uint64_t written = 0;   // bytes of records in the file
  uint64_t durable = 0;   // of them, flushed
  uint64_t reserved = 0;  // the file's size: zeros after the records
  bool failed = false;    // a write or a flush failed: nothing more is certain
  WideString path;
  WideString tag;
  std::vector<uint8_t> buffer;  // every record so far; the first written of them are in the file
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
  std::vector<WideString> keptOld;     // of the old version
  std::vector<WideString> tempFolders;  // noted for the run's temporary files
  std::vector<WideString> createdFiles;  // unplanned, not there before
  size_t ownFolders = 0;  // the first madeFolders: made for the journal itself
};

Journal* g_journal = nullptr;
KeepAsideMoveCall g_keepAsideMove = nullptr;
JournalFlushCall g_flushCall = nullptr;

// Threads inside a journal call or an undo (RunJournalBusy).
std::atomic<int> g_busy{0};

bool FileInUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_USER_MAPPED_FILE;
}

bool Exists(const WideString& path) { return GetFileAttributesW(LongPathForm(path, MAX_PATH).W()) != INVALID_FILE_ATTRIBUTES; }

bool IdentityOf(const WideString& path, KeptIdentity& identity) {
  ItemIdentity item;
  if (!PathIdentity(path, &item)) return false;
  identity.volumeSerial = item.volumeSerial;
  identity.fileId = item.fileId;
  return true;
}

// The identity of the file at path, which is about to go aside.
void AddIdentity(const WideString& path, JournalRecord& record) {
  KeptIdentity identity;
  if (IdentityOf(path, identity)) AppendKeptIdentity(identity, record.bytes);
}

bool Failed(Journal& journal, const WChar* what, DWORD error) {
  if (!journal.failed) LogWindowsError(log_kind::kFailure, WideString(what) + u" " + journal.path, error);
  journal.failed = true;
  return false;
}

bool WriteBytes(Journal& journal, const uint8_t* data, size_t size) {
  DWORD written = 0;
  if (!WriteFile(journal.file.Get(), data, static_cast<DWORD>(size), &written, nullptr))
    return Failed(journal, u"rollback journal write", GetLastError());
  if (written != size) return Failed(journal, u"rollback journal write", ERROR_DISK_FULL);
  return true;
}

// What a power loss would leave of the journal is what the flushes took.
bool Flush(Journal& journal) {
  const HANDLE file = journal.file.Get();
  if (g_flushCall != nullptr ? g_flushCall(file) : FlushFileBuffers(file) != FALSE) {
    journal.durable = journal.written;
    return true;
  }
  return Failed(journal, u"rollback journal flush", GetLastError());
}

// False once anything written to the journal may not be there.
bool WriteOut(Journal& journal, bool flush) {
  // A journal in memory keeps its records in the buffer.
  if (!journal.file) return true;
  if (journal.failed) return false;
  if (journal.buffer.size() > journal.written) {
    const size_t from = static_cast<size_t>(journal.written);
    if (!WriteBytes(journal, journal.buffer.data() + from, journal.buffer.size() - from)) return false;
    journal.written = journal.buffer.size();
    if (journal.written > journal.reserved) journal.reserved = journal.written;
  }
  return !flush || Flush(journal);
}

// Zeros up to size bytes, flushed, so that the records to come need no new
// space; the records then go on where they end.
bool Reserve(Journal& journal, uint64_t size) {
  if (!journal.file || journal.failed) return !journal.failed;
  if (!WriteOut(journal, false)) return false;
  if (size <= journal.reserved) return true;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(journal.reserved);
  if (!SetFilePointerEx(journal.file.Get(), at, nullptr, FILE_BEGIN))
    return Failed(journal, u"rollback journal reserve", GetLastError());
  const std::vector<uint8_t> zeros(64 * 1024, 0);
  while (journal.reserved < size) {
    const uint64_t piece = size - journal.reserved < zeros.size() ? size - journal.reserved : zeros.size();
    if (!WriteBytes(journal, zeros.data(), static_cast<size_t>(piece))) return false;
    journal.reserved += piece;
  }
  at.QuadPart = static_cast<LONGLONG>(journal.written);
  if (!SetFilePointerEx(journal.file.Get(), at, nullptr, FILE_BEGIN))
    return Failed(journal, u"rollback journal reserve", GetLastError());
  return Flush(journal);
}

// A record of a change that the disk would not tell after a crash is
// flushed before the change; inside the plan, the plan's end flushes.
// False when the journal cannot take it: the change must not be made.
bool Note(Journal& journal, const JournalRecord& record, bool flush) {
  AppendJournalRecord(record, journal.buffer);
  if (flush && !journal.planning) return WriteOut(journal, true);
  if (journal.buffer.size() - journal.written >= kWriteAtBytes) return WriteOut(journal, false);
  return !journal.failed;
}

// One run of a product at a time, on the whole machine: the claim lives as
// long as the process (an ended process gives it up).
HANDLE g_claim = nullptr;
WideString g_claimed;

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

WideString ProcessUserSid() {
  ScopedKernelHandle token;
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return WideString();
  token.Reset(raw);
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return WideString();
  std::vector<uint8_t> buffer(size);
  if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return WideString();
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return WideString();
  WideString sid(reinterpret_cast<const WChar*>(text));
  LocalFree(text);
  return sid;
}

namespace {
thread_local int t_busy = 0;  // of g_busy, this thread's
}  // namespace

JournalBusy::JournalBusy() {
  ++t_busy;
  ++g_busy;
}
JournalBusy::~JournalBusy() {
  --g_busy;
  --t_busy;
}
bool RunJournalBusy() { return g_busy.load() != 0; }
bool RunJournalBusyElsewhere() { return g_busy.load() > t_busy; }

WideString RunJournalPath(const WideString& uninstallFolder, const WideString& product) {
  return uninstallFolder + u"PloveRollback-" + product + u".dat";
}

namespace {
// Empty for a run for every user; a per-user run's user (its SID).
WideString g_claimOwner;
}  // namespace

void SetRunClaimOwner(const WideString& user) { g_claimOwner = user; }

bool ClaimProductRun(const WideString& product) {
  if (g_claim != nullptr && SamePath(g_claimed, product)) return true;
  if (g_claim != nullptr) {
    // One product at a time: the other one's run has ended here unless its
    // journal is open.
    if (g_journal != nullptr) return false;
    ReleaseMutex(g_claim);
    CloseHandle(g_claim);
    g_claim = nullptr;
  }
  // A kernel object name takes no backslash but the namespace's own.
  WideString name = product;
  name.Replace(u"\\", u"/", false);
  // Each user's own install of a product is a product apart: the runs of
  // two users, or of one user and the machine, never wait for each other.
  const WideString claimName = g_claimOwner.IsEmpty()
                                   ? u"Global\\PloveInstall-Run-" + name
                                   : u"Global\\PloveInstall-UserRun-" + g_claimOwner + u"-" + name;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, claimName.W());
  if (mutex == nullptr) {
    LogWindowsError(log_kind::kFailure, u"the claim of the run of " + product, GetLastError());
    return false;
  }
  const DWORD waited = WaitForSingleObject(mutex, 0);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    LogEvent(log_kind::kRollback, u"another run of " + product + u" is going on");
    CloseHandle(mutex);
    return false;
  }
  g_claim = mutex;
  g_claimed = product;
  return true;
}

bool BeginRunJournal(const WideString& uninstallFolder, const WideString& product) {
  const JournalBusy busy;
  if (g_journal != nullptr) return true;
  if (!ClaimProductRun(product)) return false;
  Journal* journal = new Journal;
  journal->planning = true;  // the folder and the beginning are flushed together
  NoteMissingFolders(*journal, uninstallFolder);
  for (const WideString& folder : journal->madeFolders) CreateNewFolder(folder);
  journal->ownFolders = journal->madeFolders.size();
  const WideString path = RunJournalPath(uninstallFolder, product);
  journal->path = path;
  // Readable by another run; by nobody but the administrative accounts (a
  // per-user run's: its user), as it names the files kept aside.
  journal->file = OpenByPath(path, GENERIC_READ | GENERIC_WRITE | WRITE_DAC, FILE_SHARE_READ, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN);
  const Protection protection = RunOwnProtection();
  if (journal->file && protection != Protection::Inherited &&
      !ProtectThroughHandle(journal->file.Get(), protection)) {
    LogWindowsError(log_kind::kFailure, u"access rules of the rollback journal " + path, GetLastError());
  }
  if (!journal->file) Failed(*journal, u"rollback journal", GetLastError());
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
  // Whose per-user values the records of kRootCurrentUser are.
  JournalRecord user;
  user.kind = JournalKind::RunUser;
  user.path = ProcessUserSid();
  if (!user.path.IsEmpty()) Note(*journal, user, false);
  journal->planning = false;
  // Durable, with room for what the run notes first, or no run.
  if (journal->failed || !Reserve(*journal, kReservedAtStart)) {
    LogEvent(log_kind::kFailure, u"the run cannot be undone without its journal: it does not start");
    if (journal->file) {
      journal->file.Reset();
      DeleteFileNoFollow(path);
    }
    for (size_t i = journal->madeFolders.size(); i-- > 0;) RemoveEmptyFolder(journal->madeFolders[i]);
    delete journal;
    return false;
  }
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

namespace {

// A folder the run's temporary files may be made in, noted once.
void NoteTempFolder(Journal& journal, const WideString& folder) {
  const WideString level = FolderLevel(folder);
  if (level.IsEmpty() || Listed(journal.tempFolders, level)) return;
  journal.tempFolders.push_back(level);
  JournalRecord record;
  record.kind = JournalKind::TempFiles;
  record.path = level;
  Note(journal, record, false);
}

}  // namespace

bool NoteRunFolders(const std::vector<WideString>& destinations) {
  const JournalBusy busy;
  if (g_journal == nullptr) return true;
  Journal& journal = *g_journal;
  // Members are decoded beside their destinations, or in the temporary
  // folder when they cannot be.
  NoteTempFolder(journal, TempFolder());
  WideString lastFolder;
  uint64_t reserve = journal.reserved;
  for (const WideString& destination : destinations) {
    reserve += kReservedPerFile + 4u * static_cast<uint64_t>(destination.Length());
    const WideString folder = ParentFolder(destination);
    if (SamePath(folder, lastFolder)) continue;
    // A 64-bit product's folders in the system folder are in the real one.
    NativeSystemFolderScope native(folder);
    NoteMissingFolders(journal, folder);
    NoteTempFolder(journal, folder);
    lastFolder = folder;
  }
  return WriteOut(journal, true) && Reserve(journal, reserve);
}

bool JournalTempFolder(const WideString& folder) {
  const JournalBusy busy;
  if (g_journal == nullptr) return true;
  Journal& journal = *g_journal;
  if (Listed(journal.tempFolders, FolderLevel(folder))) return !journal.failed;
  NoteMissingFolders(journal, folder);
  NoteTempFolder(journal, folder);
  return WriteOut(journal, true);
}

WideString RunJournalTag() { return g_journal != nullptr ? g_journal->tag : WideString(); }

bool RunJournalFailed() { return g_journal != nullptr && g_journal->failed; }

void StartRunPlan(const std::vector<WideString>& destinations, const std::vector<uint64_t>& sizes) {
  const JournalBusy busy;
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
    if (journal.plan.size() < sizes.size()) record.bytes = PlannedSizeBytes(sizes[journal.plan.size()]);
    if (entry.existed) {
      NativeSystemFolderScope native(destination);
      entry.identified = IdentityOf(destination, entry.identity);
      if (entry.identified) AppendKeptIdentity(entry.identity, record.bytes);
    }
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

bool EndRunPlan() {
  const JournalBusy busy;
  if (g_journal == nullptr) return true;
  JournalRecord end;
  end.kind = JournalKind::PlanEnd;
  Note(*g_journal, end, false);
  g_journal->planning = false;
  return WriteOut(*g_journal, true);
}

namespace {

// True when an earlier entry of the plan for the same path was placed by
// the run (a destination named twice).
bool PlacedEarlier(const Journal& journal, uint32_t index) {
  for (uint32_t i = 0; i < index; ++i) {
    if (journal.plan[i].placed && SamePath(journal.plan[i].path, journal.plan[index].path)) return true;
  }
  return false;
}

// Notes (and flushes) the identity of what aside holds now, when it is not
// the one the journal gave it.
bool NoteAsideIdentity(Journal& journal, const WideString& aside, const WideString& file, bool known,
                       const KeptIdentity& noted) {
  KeptIdentity identity;
  if (!IdentityOf(file, identity) || (known && identity == noted)) return true;
  JournalRecord record;
  record.kind = JournalKind::AsideIdentity;
  record.path = aside;
  AppendKeptIdentity(identity, record.bytes);
  return Note(journal, record, true);
}

KeepAside NotKept(const WideString& path, DWORD error) {
  LogWindowsError(log_kind::kFailure, u"keeping aside " + path + u" (a rollback could not restore it)", error);
  return KeepAside::NotKept;
}

}  // namespace

KeepAside JournalBeforeFile(const WideString& path) {
  if (g_journal == nullptr) return KeepAside::NothingThere;
  return JournalBeforeFile(path, GetFileAttributesW(LongPathForm(path, MAX_PATH).W()));
}

KeepAside JournalBeforeFile(const WideString& path, DWORD attributes) {
  const JournalBusy busy;
  if (g_journal == nullptr) return KeepAside::NothingThere;
  Journal& journal = *g_journal;
  if (journal.failed) return NotKept(path, ERROR_WRITE_FAULT);
  uint32_t index = 0;
  PlanEntry* planned = FindPlanned(journal, path, index);
  // A folder where the file should go is not the run's to move: the
  // placement fails on it as it would without a journal.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return KeepAside::NothingThere;
  const bool present = attributes != INVALID_FILE_ATTRIBUTES;
  JournalRecord record;
  if (planned != nullptr) {
    record.kind = JournalKind::FilePlaced;
    record.number = index;
    if (!Note(journal, record, false)) return NotKept(path, ERROR_WRITE_FAULT);
    const bool own = planned->kept || planned->foreign || PlacedEarlier(journal, index);
    planned->placed = true;
    // Nothing there, or what is there is this run's own (placed twice by
    // the pass): it goes on rollback.
    if (!present || own) return KeepAside::NothingThere;
    if (!planned->existed) {
      // A file that came since the plan (a program the run started, another
      // install, the user): kept aside as one that was there, under a name
      // of its own (the planned one brings nothing back for a destination
      // that was not there), and put back on rollback.
      planned->foreign = true;
      record.kind = JournalKind::FileReplaced;
      record.path = path;
      record.other = ParentFolder(path) + KeptAsideName(journal.tag + u"u", journal.unplannedAsides++);
      AddIdentity(path, record);
      if (!Note(journal, record, true)) return NotKept(path, ERROR_WRITE_FAULT);
    }
  } else {
    // A path noted before is this run's own already.
    if (Listed(journal.notedFiles, path)) return KeepAside::NothingThere;
    journal.notedFiles.push_back(path);
    if (!present) {
      NoteMissingFolders(journal, ParentFolder(path));
      record.kind = JournalKind::FileCreated;
      record.path = path;
      if (!Note(journal, record, true)) return NotKept(path, ERROR_WRITE_FAULT);
      journal.createdFiles.push_back(path);
      return KeepAside::NothingThere;
    }
    record.kind = JournalKind::FileReplaced;
    record.path = path;
    record.other = ParentFolder(path) + KeptAsideName(journal.tag + u"u", journal.unplannedAsides++);
    AddIdentity(path, record);
    if (!Note(journal, record, true)) return NotKept(path, ERROR_WRITE_FAULT);
  }
  const bool plannedAside = planned != nullptr && planned->existed;
  const WideString aside = plannedAside ? planned->aside : record.other;
  const WideString& from = path;
  const WideString& to = aside;
  // Another file than the one planned is there now: its identity is noted
  // before it goes aside.
  if (plannedAside && !NoteAsideIdentity(journal, aside, path, planned->identified, planned->identity))
    return NotKept(path, ERROR_WRITE_FAULT);
  bool kept = g_keepAsideMove != nullptr ? g_keepAsideMove(from, to) : MoveItem(from, to, 0);
  if (!kept) {
    const DWORD error = GetLastError();
    if (FileInUse(error)) return KeepAside::InUse;
    // Not renamed (another volume, say): a copy keeps it as well, as a
    // file of its own.
    kept = CopyItem(from, to, true);
    if (!kept) return NotKept(path, GetLastError());
    if (!NoteAsideIdentity(journal, aside, aside, false, KeptIdentity())) return NotKept(path, ERROR_WRITE_FAULT);
  }
  if (plannedAside) planned->kept = true;
  return KeepAside::Kept;
}

void JournalKeepOldFile(const WideString& path) {
  const JournalBusy busy;
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
  // Its attributes: the uninstaller clears them to delete it, and a hard
  // link shares them.
  const DWORD attributes = GetFileAttributesW(LongPathForm(path, MAX_PATH).W());
  record.type = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes | kAttributesNoted;
  // A hard link is the same file.
  AddIdentity(path, record);
  Note(journal, record, true);
  bool kept = LinkItem(record.other, path);
  if (!kept && CopyItem(path, record.other, true)) {
    kept = true;
    NoteAsideIdentity(journal, record.other, record.other, false, KeptIdentity());
  }
  if (!kept) LogWindowsError(log_kind::kFailure, u"keeping " + path + u" of the old version", GetLastError());
}

std::vector<WideString> KeptOldVersionFiles() {
  return g_journal == nullptr ? std::vector<WideString>() : g_journal->keptOld;
}

bool JournalPendingRename(const WideString& destination, const WideString& staged, bool replacesEarlier) {
  const JournalBusy busy;
  if (g_journal == nullptr) return true;
  JournalRecord record;
  record.kind = JournalKind::PendingRename;
  record.type = replacesEarlier ? kEarlierPairReplaced : 0;
  record.path = destination;
  record.other = staged;
  return Note(*g_journal, record, true);
}

void JournalDeletionCancelled(const WideString& path) {
  const JournalBusy busy;
  if (g_journal == nullptr) return;
  JournalRecord record;
  record.kind = JournalKind::DeletionCancelled;
  record.path = path;
  Note(*g_journal, record, true);
}

bool JournalDllRegistration(const WideString& path) {
  const JournalBusy busy;
  if (g_journal == nullptr) return true;
  Journal& journal = *g_journal;
  // The run's own new file is unregistered on rollback; one that was there
  // (kept by the version rule, or replaced) keeps its registration, and a
  // replaced one is registered again once it is back.
  bool own = Listed(journal.createdFiles, path);
  for (const PlanEntry& entry : journal.plan) {
    if (entry.placed && !entry.kept && !entry.foreign && !entry.existed && SamePath(entry.path, path)) own = true;
  }
  JournalRecord record;
  record.kind = JournalKind::DllRegistered;
  record.type = own ? 0 : kDllWasThere;
  record.path = path;
  return Note(journal, record, true);
}

void JournalProgramRun(const WideString& program) {
  const JournalBusy busy;
  if (g_journal == nullptr) return;
  JournalRecord record;
  record.kind = JournalKind::ProgramRun;
  record.path = program;
  Note(*g_journal, record, true);
}

void JournalRegistryValue(HKEY root, const WideString& keyPath, const WideString& valueName) {
  const JournalBusy busy;
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

namespace {

bool IdentityMatches(HANDLE file, const KeptIdentity& identity) {
  ItemIdentity found;
  return HandleIdentity(file, &found) && found.volumeSerial == identity.volumeSerial && found.fileId == identity.fileId;
}

// A kept-aside file that is not to come back, deleted as itself: opened
// without following a link, only where a kept-aside name may lie (beside
// its destination), and only when it is the file that went aside (its
// journalled identity; a journal without one, of version 1, takes the file
// that carries the name). In use: it goes at the next restart.
void DeleteKeptAside(const WideString& aside, const WideString& destination, const KeptIdentity* identity) {
  if (!KeptAsideBeside(destination, aside)) {
    LogEvent(log_kind::kFailure, u"a kept-aside name outside the folder of " + destination + u", left: " + aside);
    return;
  }
  ScopedFileHandle file = OpenNoFollow(aside, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true);
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    if (FileInUse(error)) {
      MoveItem(aside, WideString(), MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
      LogWindowsError(log_kind::kFailure, u"deleting the kept-aside file " + aside, error);
    }
    return;
  }
  if (identity != nullptr && !IdentityMatches(file.Get(), *identity)) {
    LogEvent(log_kind::kFailure, u"not the file this run kept aside, left: " + aside);
    return;
  }
  DWORD attributes = 0;
  if (HandleAttributes(file.Get(), &attributes) && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetAttributesThroughHandle(file.Get(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (DeleteThroughHandle(file.Get())) return;
  // Mapped (a program or a library that runs): at the next restart.
  file.Reset();
  MoveItem(aside, WideString(), MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

void DeleteKeptAsideFiles(const std::vector<JournalRecord>& records, uint8_t version) {
  // The identity a kept-aside file got last (it was copied aside, say).
  std::vector<const JournalRecord*> noted;
  for (const JournalRecord& record : records) {
    if (record.kind == JournalKind::AsideIdentity) noted.push_back(&record);
  }
  for (const JournalRecord& record : records) {
    const bool planned = record.kind == JournalKind::PlannedFile;
    if (!planned && record.kind != JournalKind::FileReplaced && record.kind != JournalKind::OldFileKept) continue;
    // From version 2 on, nothing goes under the planned name of a file that
    // was not there.
    if (planned && record.type == 0 && version >= 2) continue;
    KeptIdentity identity;
    bool known = false;
    for (size_t i = noted.size(); i-- > 0 && !known;) {
      if (SamePath(noted[i]->path, record.other)) known = KeptIdentityOf(*noted[i], identity);
    }
    if (!known) known = KeptIdentityOf(record, identity);
    DeleteKeptAside(record.other, record.path, known ? &identity : nullptr);
  }
}

namespace {

void CloseJournal(bool deleteFile) {
  const JournalBusy busy;
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

bool MarkRunCommitted() {
  const JournalBusy busy;
  if (g_journal == nullptr) return true;
  JournalRecord committed;
  committed.kind = JournalKind::Committed;
  return Note(*g_journal, committed, true);
}

void FinishCommittedRun() {
  const JournalBusy busy;
  if (g_journal == nullptr) return;
  Journal& journal = *g_journal;
  // The records tell every kept-aside file with the identity it went aside
  // with, as they tell a later run that finds the journal committed.
  DeleteKeptAsideFiles(ReadJournal(journal.buffer.data(), journal.buffer.size()).records, kJournalVersion);
  LogEvent(log_kind::kRollback, u"committed: the journal and the kept-aside files go");
  CloseJournal(true);
}

bool CommitRunJournal() {
  if (!MarkRunCommitted()) return false;
  FinishCommittedRun();
  return true;
}

bool ReadActiveJournal(std::vector<uint8_t>& bytes) {
  const JournalBusy busy;
  bytes.clear();
  if (g_journal == nullptr) return false;
  // Memory holds every record, also those a full disk kept out of the file.
  bytes = g_journal->buffer;
  return true;
}

void DiscardRunJournal() { CloseJournal(true); }

void KeepRunJournalForRetry() {
  if (g_journal != nullptr && g_journal->file) WriteOut(*g_journal, true);
  CloseJournal(false);
}

void SetKeepAsideMoveCallForTests(KeepAsideMoveCall call) { g_keepAsideMove = call; }

void SetJournalFlushCallForTests(JournalFlushCall call) { g_flushCall = call; }

void LeaveRunJournalAsAfterPowerLoss() {
  Journal* journal = g_journal;
  if (journal == nullptr) return;
  if (journal->file) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(journal->durable);
    SetFilePointerEx(journal->file.Get(), at, nullptr, FILE_BEGIN);
    SetEndOfFile(journal->file.Get());
  }
  g_journal = nullptr;
  SetRegistryWriteObserver(nullptr);
  journal->file.Reset();
  delete journal;
}
