#include "pe/byte_source.h"

#include <cstring>

bool ByteSource::ReadU16(uint64_t offset, uint16_t* value) const {
  uint8_t b[2];
  if (!ReadAt(offset, b, 2)) return false;
  *value = LoadU16(b);
  return true;
}

bool ByteSource::ReadU32(uint64_t offset, uint32_t* value) const {
  uint8_t b[4];
  if (!ReadAt(offset, b, 4)) return false;
  *value = LoadU32(b);
  return true;
}

bool MemorySource::ReadAt(uint64_t offset, void* buffer, size_t size) const {
  if (!Contains(offset, size)) return false;
  if (size != 0) std::memcpy(buffer, data_ + offset, size);
  return true;
}
