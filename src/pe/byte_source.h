#pragma once
// Random access to the bytes of an executable, with every read checked
// against the size. The PE code reads headers and resource directories
// through this, so a 2 GiB installer need not be held in memory to find its
// payload.

#include <cstddef>
#include <cstdint>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // False when [offset, offset + size) is not wholly inside the source or the
  // read fails; buffer is then undefined.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) const = 0;

  bool ReadU16(uint64_t offset, uint16_t* value) const;
  bool ReadU32(uint64_t offset, uint32_t* value) const;
  // True when [offset, offset + size) lies inside the source.
  bool Contains(uint64_t offset, uint64_t size) const {
    return offset <= Size() && size <= Size() - offset;
  }
};

// A source over bytes in memory that the caller keeps alive.
class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) const override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Little-endian stores into a buffer the caller has sized.
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
