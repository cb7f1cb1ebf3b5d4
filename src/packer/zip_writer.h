#pragma once
// A zip archive written so that the same entries always give the same
// bytes: entries stored (not compressed) in the order they are added, every
// date 1980-01-01 00:00, no extra fields, no file attributes, no comment.
// Without Zip64: an archive that would reach 4 GiB is refused.

#include <cstdint>
#include <string>
#include <vector>

#include "packer/file_io.h"
#include "pe/byte_source.h"

class ZipWriter {
 public:
  // Writes to out, which the caller opened and commits after Finish.
  explicit ZipWriter(OutputFile* out) : out_(out) {}

  // name: the entry's path with "/" between folders, ASCII.
  bool Add(const std::string& name, const uint8_t* data, size_t size);
  bool Add(const std::string& name, const std::string& text) {
    return Add(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  // The entry's bytes come from source, read twice (for the sum, then to copy).
  bool AddFrom(const std::string& name, const ByteSource& source);
  // The central directory and its end record.
  bool Finish();
  // True when a write failed because the archive would reach 4 GiB.
  bool TooLarge() const { return tooLarge_; }

 private:
  struct Entry {
    std::string name;
    uint32_t crc = 0;
    uint32_t size = 0;
    uint32_t offset = 0;
  };
  bool Start(const std::string& name, uint32_t crc, uint64_t size);
  bool Put(const std::vector<uint8_t>& bytes);
  bool Put(const uint8_t* data, size_t size);

  OutputFile* out_;
  std::vector<Entry> entries_;
  uint64_t written_ = 0;
  bool tooLarge_ = false;
};
