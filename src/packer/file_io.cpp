#include "packer/file_io.h"

#include "packer/platform_files.h"

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data) {
  FileSource source;
  if (!source.Open(path)) return false;
  if (source.Size() > SIZE_MAX) return false;
  data->resize(size_t(source.Size()));
  return source.ReadAt(0, data->data(), data->size());
}

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size, std::string* cause) {
  std::string ignored;
  if (cause == nullptr) cause = &ignored;
  if (KindOfPath(path) == PathKind::Folder) {
    *cause = "it is a folder";
    return false;
  }
  std::string temporary = path + ".partial";
  OutputFile out;
  if (!out.Open(temporary) || !out.Write(data, size) || !out.Commit()) {
    *cause = out.Cause();
    return false;
  }
  if (!ReplaceFileWith(temporary, path)) {
    *cause = KindOfPath(path) == PathKind::File ? LastFileErrorCause() + " (the file there is kept)" : LastFileErrorCause();
    DeleteFileUtf8(temporary);
    return false;
  }
  return true;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  char separator = PathSeparator();
  if (!path.empty() && path.back() != '/' && path.back() != separator) path += separator;
  for (char c : name) path += (c == '\\' || c == '/') ? separator : c;
  return path;
}

bool MakeFolderTree(const std::string& path) {
  if (path.empty() || KindOfPath(path) == PathKind::Folder) return true;
  size_t cut = path.find_last_of(std::string("/") + PathSeparator());
  if (cut != std::string::npos && cut > 0 && !MakeFolderTree(path.substr(0, cut))) return false;
  return MakeFolder(path);
}

FileSource::~FileSource() {
  if (file_ != nullptr) fclose(file_);
}

bool FileSource::Open(const std::string& path) {
  if (KindOfPath(path) != PathKind::File) return false;
  file_ = OpenFileUtf8(path, "rb");
  if (file_ == nullptr) return false;
  if (!SizeOfOpenFile(file_, &size_)) {
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  return true;
}

bool FileSource::ReadAt(uint64_t offset, void* buffer, size_t size) const {
  if (file_ == nullptr || !Contains(offset, size)) return false;
  if (size == 0) return true;
  return SeekFile(file_, offset) && std::fread(buffer, 1, size, file_) == size;
}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  failed_ = false;
  file_ = OpenFileUtf8(path, "wb");
  if (file_ == nullptr) cause_ = LastFileErrorCause();
  return file_ != nullptr;
}

bool OutputFile::Write(const uint8_t* data, size_t size) {
  if (file_ == nullptr || failed_) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) {
    failed_ = true;
    cause_ = LastFileErrorCause();
  }
  return !failed_;
}

bool OutputFile::Commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_) == 0;
  if (!ok && cause_.empty()) cause_ = LastFileErrorCause();
  bool closed = std::fclose(file_) == 0;
  if (!closed && ok) cause_ = LastFileErrorCause();
  ok = closed && ok;
  file_ = nullptr;
  if (!ok) DeleteFileUtf8(path_);
  return ok;
}

void OutputFile::Discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  DeleteFileUtf8(path_);
}
