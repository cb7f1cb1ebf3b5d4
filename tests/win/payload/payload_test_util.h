#pragma once
// Helpers shared by the payload tests: archive surgery and member streams.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "payload/lzma_alone.h"

inline uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

inline void SetU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

// Recomputes the trailer sum and the file checksum after a change.
inline void Reseal(std::vector<uint8_t>& archive) {
  const size_t trailerAt = archive.size() - kArchiveTrailerSize;
  SetU32(archive, trailerAt + 4, static_cast<uint32_t>(TrailerSum(archive.data() + trailerAt)));
  SetU32(archive, trailerAt, ArchiveChecksum(archive.data(), trailerAt));
}

inline std::vector<uint8_t> Packed(const std::string& content) {
  std::vector<uint8_t> packed;
  CompressLzmaAlone(reinterpret_cast<const uint8_t*>(content.data()), content.size(), LzmaOptions(), packed);
  return packed;
}
