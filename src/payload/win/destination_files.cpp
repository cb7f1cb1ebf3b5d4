#include "payload/win/destination_files.h"

#include <new>

#include "util/path_text.h"
#include "util/string_list.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/folder_vouching.h"
#include "util/win/random.h"
#include "util/win/scoped_handle.h"
#include "util/win/sync.h"
#include "util/win/temp_names.h"
#include "util/win/safe_files.h"

namespace {

SRWLOCK g_prefixLock = SRWLOCK_INIT;
WideString g_prefix(u"~PLI");

WideString TempPrefix() {
  SrwGuard guard(g_prefixLock);
  return g_prefix;
}

constexpr DWORD kTempAccess = GENERIC_READ | GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// A new hidden file of a name nobody uses in folder (with its backslash).
bool MakeTempIn(const WideString& folder, WideString& path, ScopedFileHandle& handle) {
  const WideString prefix = TempPrefix();
  for (int attempt = 0; attempt < 8; ++attempt) {
    path = folder + prefix + WideString::Format(u"%08X.tmp", Random(0));
    handle = CreateNewFile(path, kTempAccess, FILE_SHARE_READ, FILE_ATTRIBUTE_HIDDEN);
    if (handle) return true;
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  path.Clear();
  return false;
}

void ReadHead(PreparedMember& member) {
  DiskFile file;
  file.Attach(member.handle.Get());
  if (!file.Seek(0, false)) return;
  member.headSize = static_cast<int>(file.Read(member.head, sizeof(member.head)));
}

}  // namespace

void MadeFolders::Note(const WideString& folder) {
  SrwGuard guard(lock_);
  folders_.Add(folder);
}

void MadeFolders::RemoveEmpty() {
  StringList folders;
  {
    SrwGuard guard(lock_);
    folders = std::move(folders_);
    folders_.Clear();
  }
  // A level is noted after the levels above it, so the last noted go
  // first. Another pass removes a folder whose last sub-folder another
  // thread noted before it, until a pass removes nothing.
  for (bool removed = true; removed;) {
    removed = false;
    for (int i = folders.Count() - 1; i >= 0; --i) {
      if (!RemoveEmptyFolder(folders.Item(i))) continue;
      folders.RemoveAt(i);
      removed = true;
    }
  }
}

bool CreateDestinationFolder(const WideString& folder, MadeFolders* made) {
  // Creating asks every level from the root: not for the folder of every
  // file when it is there already.
  if (IsFolder(folder)) return true;
  StringList levels;
  FolderTreeLevels(folder, levels);
  for (int i = 0; i < levels.Count(); ++i) {
    const WideString& level = levels.Item(i);
    if (CreateNewFolder(level)) {
      NoteFolderMade(level);
      if (made != nullptr) made->Note(level);
    } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  return IsFolder(folder);
}

bool MakeDestinationTemp(const WideString& folder, WideString& path, ScopedFileHandle& handle) {
  if (!folder.IsEmpty()) {
    WideString inFolder = folder;
    AddBackslash(inFolder);
    if (MakeTempIn(inFolder, path, handle)) return true;
  }
  const WideString temp = TempFolder();
  if (MakeTempIn(temp, path, handle)) return true;
  CreateFolderTree(temp);
  return MakeTempIn(temp, path, handle);
}

void DeletePreparedFile(PreparedMember& member) {
  if (member.fileMoved) {
    // The handle is the placed file's now.
    member.handle.Reset();
  } else if (member.handle) {
    // Gone when the handle closes, whatever name it carries by then.
    const bool marked = DeleteThroughHandle(member.handle.Get());
    member.handle.Reset();
    if (!marked && !member.file.IsEmpty()) DeleteFileForced(member.file);
  } else if (!member.file.IsEmpty()) {
    DeleteFileForced(member.file);
  }
  member.file.Clear();
  member.fileMade = false;
}

void SetDestinationTempPrefix(const WideString& prefix) {
  SrwGuard guard(g_prefixLock);
  g_prefix = prefix.IsEmpty() ? WideString(u"~PLI") : prefix;
}

bool PreparedMember::MayCarryVersion() const {
  if (headSize < 2) return false;
  const char a = static_cast<char>(head[0]);
  const char b = static_cast<char>(head[1]);
  return (a == 'M' && b == 'Z') || (a == 'Z' && b == 'M') || (a == 'S' && b == 'Z') || (a == 'K' && b == 'W');
}

void DecodeIntoFolder(const MemberEntries& member, const WideString& folder, const DecodeCancel* cancel,
                      MadeFolders* made, PreparedMember& out) {
  out.sourcePath = member.sourcePath;
  try {
    if (!folder.IsEmpty()) CreateDestinationFolder(folder, made);
    out.fileMade = MakeDestinationTemp(folder, out.file, out.handle);
    if (!out.fileMade) {
      // Nowhere to write it: what extracting it would say.
      out.report.failures.push_back(DecodeFailure::Write);
      return;
    }
    DecodeEntriesToHandle(member, out.handle.Get(), cancel, out.report);
  } catch (const std::bad_alloc&) {
    // As DecodeEntries reports a member that does not fit in memory.
    out.report.failures.push_back(DecodeFailure::Write);
    out.report.extracted = false;
  }
  if (out.report.extracted && !out.report.cancelled) {
    ReadHead(out);
  } else {
    DeletePreparedFile(out);
  }
}

void MoveIntoFolder(PreparedMember& member, const WideString& folder, MadeFolders* made) {
  if (!folder.IsEmpty()) CreateDestinationFolder(folder, made);
  member.fileMade = MakeDestinationTemp(folder, member.file, member.handle);
  if (member.fileMade) {
    DiskFile file;
    file.Attach(member.handle.Get());
    member.fileMade = file.Write(member.bytes.data(), static_cast<DWORD>(member.bytes.size()));
  }
  member.inMemory = false;
  std::vector<uint8_t>().swap(member.bytes);
  if (member.fileMade) return;
  // The write message, as extracting it to a file would show, and no file.
  member.report.extracted = false;
  member.report.failures.push_back(DecodeFailure::Write);
  DeletePreparedFile(member);
}
