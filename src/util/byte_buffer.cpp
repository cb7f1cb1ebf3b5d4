#include "util/byte_buffer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept { *this = std::move(other); }

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    Free();
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  return *this;
}

ByteBuffer::~ByteBuffer() { Free(); }

void ByteBuffer::Free() {
  std::free(data_);
  data_ = nullptr;
  size_ = capacity_ = 0;
}

bool ByteBuffer::Resize(size_t size, bool zeroFill) {
  if (data_ == nullptr || capacity_ < size) {
    Free();
    data_ = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (data_ == nullptr) return false;
    capacity_ = size == 0 ? 1 : size;
  }
  size_ = size;
  if (zeroFill) std::memset(data_, 0, size);
  return true;
}
