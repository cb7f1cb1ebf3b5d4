#include <cstdio>

#include "packer/platform_files.h"
#include "util/wide_string.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

#include <io.h>

namespace {
std::wstring Wide(const std::string& utf8) {
  WideString text = WideString::FromUtf8(utf8.c_str(), int(utf8.size()));
  return std::wstring(text.W());
}
}  // namespace

FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  std::wstring wideMode(mode, mode + strlen(mode));
  return _wfopen(Wide(path).c_str(), wideMode.c_str());
}

bool SeekFile(FILE* file, uint64_t offset) { return _fseeki64(file, int64_t(offset), SEEK_SET) == 0; }

bool SizeOfOpenFile(FILE* file, uint64_t* size) {
  int64_t length = _filelengthi64(_fileno(file));
  if (length < 0) return false;
  *size = uint64_t(length);
  return true;
}

PathKind KindOfPath(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

bool ListFolderFiles(const std::string& folder, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAW data;
  ScopedHandle<FindHandleTraits> find(FindFirstFileW(Wide(folder + "\\*").c_str(), &data));
  if (!find) return false;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    names->push_back(WideString(data.cFileName).ToUtf8());
  } while (FindNextFileW(find.Get(), &data));
  return true;
}

bool ListSubfolders(const std::string& folder, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAW data;
  ScopedHandle<FindHandleTraits> find(FindFirstFileW(Wide(folder + "\\*").c_str(), &data));
  if (!find) return false;
  do {
    const DWORD attributes = data.dwFileAttributes;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    names->push_back(WideString(data.cFileName).ToUtf8());
  } while (FindNextFileW(find.Get(), &data));
  return true;
}

namespace {
// The volume and file index of an existing file; false when it cannot be opened.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  ScopedHandle<FileHandleTraits> file(CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && GetFileInformationByHandle(file.Get(), info) != 0;
}
}  // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  if (!FileIdentity(a, &first) || !FileIdentity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool MakeFolder(const std::string& path) {
  return CreateDirectoryW(Wide(path).c_str(), nullptr) || KindOfPath(path) == PathKind::Folder;
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool DeleteFileUtf8(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

char PathSeparator() { return '\\'; }

std::string LastFileErrorCause() {
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "its folder does not exist";
    case ERROR_ACCESS_DENIED: return "permission denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "the disk is full";
    case ERROR_WRITE_PROTECT: return "the disk is write-protected";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "another program has it open";
    default: return "Windows error " + std::to_string(error);
  }
}
