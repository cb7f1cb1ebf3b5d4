#pragma once
// Whole-file reads, files written through a temporary name, and a
// ByteSource over an open file.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pe/byte_source.h"

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data);

// Writes data to "<path>.partial" beside path and renames it over path only
// when everything was written; on failure nothing is left behind and cause,
// when given, says why (LastFileErrorCause, or "it is a folder").
bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size, std::string* cause = nullptr);

// folder + separator + name, where name may use "\" between levels (member
// names do); the separators become the platform's.
std::string JoinPath(const std::string& folder, const std::string& name);

// Creates path and every missing parent.
bool MakeFolderTree(const std::string& path);

class FileSource : public ByteSource {
 public:
  FileSource() = default;
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool Open(const std::string& path);
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) const override;

 private:
  FILE* file_ = nullptr;
  uint64_t size_ = 0;
};

// A file being written in pieces; removed again unless Commit succeeds.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const std::string& path);
  bool Write(const uint8_t* data, size_t size);
  // Flushes and closes; false (and the file removed) when anything failed.
  bool Commit();
  // Closes and removes the file.
  void Discard();
  // Why Open, Write or Commit failed.
  const std::string& Cause() const { return cause_; }

 private:
  FILE* file_ = nullptr;
  std::string path_;
  std::string cause_;
  bool failed_ = false;
};
