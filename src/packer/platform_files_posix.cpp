#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "packer/platform_files.h"

FILE* OpenFileUtf8(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool SeekFile(FILE* file, uint64_t offset) { return fseeko(file, off_t(offset), SEEK_SET) == 0; }

bool SizeOfOpenFile(FILE* file, uint64_t* size) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0) return false;
  *size = uint64_t(info.st_size);
  return true;
}

PathKind KindOfPath(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return PathKind::Missing;
  if (S_ISREG(info.st_mode)) return PathKind::File;
  if (S_ISDIR(info.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

namespace {

// The names in folder, without "." and "..", that keep() accepts for the
// entry's full path.
template <typename Keep>
bool ListNames(const std::string& folder, std::vector<std::string>* names, Keep keep) {
  names->clear();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (keep(folder + "/" + name)) names->push_back(name);
  }
  closedir(dir);
  return true;
}

}  // namespace

bool ListFolderFiles(const std::string& folder, std::vector<std::string>* names) {
  return ListNames(folder, names, [](const std::string& path) { return KindOfPath(path) == PathKind::File; });
}

// A link to a folder is not a subfolder: lstat, not stat.
bool ListSubfolders(const std::string& folder, std::vector<std::string>* names) {
  return ListNames(folder, names, [](const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  });
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool MakeFolder(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0 || KindOfPath(path) == PathKind::Folder;
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  // A file without any write permission is left alone, as Windows leaves a
  // read-only file alone.
  struct stat info;
  if (stat(to.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0) {
    errno = EACCES;
    return false;
  }
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool DeleteFileUtf8(const std::string& path) { return unlink(path.c_str()) == 0; }

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }

char PathSeparator() { return '/'; }

std::string LastFileErrorCause() {
  switch (errno) {
    case ENOENT: return "its folder does not exist";
    case ENOTDIR: return "a part of its path is a file, not a folder";
    case EACCES:
    case EPERM: return "permission denied";
    case ENOSPC:
    case EDQUOT: return "the disk is full";
    case EISDIR: return "it is a folder";
    case EROFS: return "the file system is read-only";
    default: return std::strerror(errno);
  }
}
