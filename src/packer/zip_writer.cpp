#include "packer/zip_writer.h"

#include <lzma.h>

#include <algorithm>

namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kCentralHeader = 0x02014B50;
constexpr uint32_t kEndOfDirectory = 0x06054B50;
constexpr uint16_t kVersion = 20;     // 2.0: what readers need for stored entries and folders
constexpr uint16_t kDosDate = 0x21;   // 1980-01-01
constexpr uint16_t kDosTime = 0;      // 00:00:00
constexpr uint64_t kLimit = 0xFFFFFFFFull;
constexpr size_t kChunk = size_t(1) << 20;

void U16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void U32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

bool ZipWriter::Put(const uint8_t* data, size_t size) {
  if (written_ + size > kLimit) {
    tooLarge_ = true;
    return false;
  }
  written_ += size;
  return out_->Write(data, size);
}

bool ZipWriter::Put(const std::vector<uint8_t>& bytes) { return Put(bytes.data(), bytes.size()); }

bool ZipWriter::Start(const std::string& name, uint32_t crc, uint64_t size) {
  if (size >= kLimit || written_ >= kLimit || name.size() > 0xFFFF) {
    tooLarge_ = true;
    return false;
  }
  entries_.push_back({name, crc, uint32_t(size), uint32_t(written_)});
  std::vector<uint8_t> header;
  U32(header, kLocalHeader);
  U16(header, kVersion);
  U16(header, 0);  // flags
  U16(header, 0);  // stored
  U16(header, kDosTime);
  U16(header, kDosDate);
  U32(header, crc);
  U32(header, uint32_t(size));
  U32(header, uint32_t(size));
  U16(header, uint16_t(name.size()));
  U16(header, 0);  // no extra field
  header.insert(header.end(), name.begin(), name.end());
  return Put(header);
}

bool ZipWriter::Add(const std::string& name, const uint8_t* data, size_t size) {
  uint32_t crc = lzma_crc32(data, size, 0);
  return Start(name, crc, size) && Put(data, size);
}

bool ZipWriter::AddFrom(const std::string& name, const ByteSource& source) {
  std::vector<uint8_t> chunk(kChunk);
  uint32_t crc = 0;
  for (uint64_t at = 0; at < source.Size(); at += chunk.size()) {
    size_t take = size_t(std::min<uint64_t>(chunk.size(), source.Size() - at));
    if (!source.ReadAt(at, chunk.data(), take)) return false;
    crc = lzma_crc32(chunk.data(), take, crc);
  }
  if (!Start(name, crc, source.Size())) return false;
  for (uint64_t at = 0; at < source.Size(); at += chunk.size()) {
    size_t take = size_t(std::min<uint64_t>(chunk.size(), source.Size() - at));
    if (!source.ReadAt(at, chunk.data(), take) || !Put(chunk.data(), take)) return false;
  }
  return true;
}

bool ZipWriter::Finish() {
  uint64_t directoryStart = written_;
  std::vector<uint8_t> directory;
  for (const Entry& e : entries_) {
    U32(directory, kCentralHeader);
    U16(directory, kVersion);  // made by: MS-DOS, 2.0 (no Unix modes)
    U16(directory, kVersion);
    U16(directory, 0);
    U16(directory, 0);
    U16(directory, kDosTime);
    U16(directory, kDosDate);
    U32(directory, e.crc);
    U32(directory, e.size);
    U32(directory, e.size);
    U16(directory, uint16_t(e.name.size()));
    U16(directory, 0);  // extra field
    U16(directory, 0);  // comment
    U16(directory, 0);  // disk
    U16(directory, 0);  // internal attributes
    U32(directory, 0);  // external attributes
    U32(directory, e.offset);
    directory.insert(directory.end(), e.name.begin(), e.name.end());
  }
  if (entries_.size() > 0xFFFF || directoryStart + directory.size() >= kLimit) {
    tooLarge_ = true;
    return false;
  }
  std::vector<uint8_t> end;
  U32(end, kEndOfDirectory);
  U16(end, 0);
  U16(end, 0);
  U16(end, uint16_t(entries_.size()));
  U16(end, uint16_t(entries_.size()));
  U32(end, uint32_t(directory.size()));
  U32(end, uint32_t(directoryStart));
  U16(end, 0);
  return Put(directory) && Put(end);
}
