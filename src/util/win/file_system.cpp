#include "util/win/file_system.h"

#include <vector>

#include "util/path_text.h"
#include "util/win/safe_files.h"
#include "util/win/scoped_handle.h"

namespace {

bool FindOne(const WideString& path, WIN32_FIND_DATAW* data) {
  WideString searchPath = path;
  RemoveTrailingBackslashes(searchPath);
  if (searchPath.IsEmpty()) return false;
  ScopedFindHandle find(FindFirstFileW(LongPathForm(searchPath, 248).W(), data));
  return find.IsValid();
}

}  // namespace

bool CreateFolderTree(const WideString& path) {
  WideString p = LongPathForm(path, 248);
  if (p.IsEmpty()) return false;
  // Every level from the root outwards, existing ones included.
  StringList levels;
  FolderTreeLevels(p, levels);
  for (int i = 0; i < levels.Count(); ++i) {
    const WideString& level = levels.Item(i);
    if (!CreateNewFolder(level) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return true;
}

bool DeleteFileForced(const WideString& path) { return DeleteFileNoFollow(path); }

bool DeleteFolderTree(const WideString& path, const WideString& pattern, bool recurse) {
  return RemoveFolderTree(path, pattern, recurse);
}

WideString AbsolutePath(const WideString& path) {
  if (path.IsEmpty()) return path;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFullPathNameW(path.W(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return path;
    if (length < buffer.size()) return WideString(buffer.data(), static_cast<int>(length));
    buffer.resize(length + 1);
  }
  return path;
}

bool IsFolder(const WideString& path) {
  const DWORD attributes = GetFileAttributesW(LongPathForm(path, 248).W());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const WideString& path) {
  // An empty path would otherwise ask about "\", the current drive's root.
  if (path.IsEmpty()) return false;
  WIN32_FIND_DATAW data;
  if (FindOne(path, &data)) return true;
  WideString root = path;
  AddBackslash(root);
  return GetDriveTypeW(root.W()) != DRIVE_NO_ROOT_DIR;
}

uint64_t FileSizeOf(const WideString& path) {
  WIN32_FIND_DATAW data;
  if (!FindOne(path, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

DWORD FileAttributesOf(const WideString& path, bool* notFound) {
  WIN32_FIND_DATAW data;
  bool found = FindOne(path, &data);
  if (notFound != nullptr) *notFound = !found;
  return found ? data.dwFileAttributes : 0;
}

bool ClearReadOnly(const WideString& path) {
  bool notFound = false;
  DWORD attributes = FileAttributesOf(path, &notFound);
  if (notFound) return false;
  return SetItemAttributes(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}
