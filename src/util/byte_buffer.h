#pragma once
// A block of bytes from the C heap. Resize keeps the block when it is large
// enough and otherwise replaces it WITHOUT copying the old bytes.

#include <cstddef>
#include <cstdint>

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ~ByteBuffer();

  // false (with size and capacity 0) when the allocation fails.
  [[nodiscard]] bool Resize(size_t size, bool zeroFill);
  void Free();
  uint8_t* Data() { return data_; }
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  size_t Capacity() const { return capacity_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};
