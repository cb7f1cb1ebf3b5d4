#include "util/pointer_array.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

PointerArray::PointerArray(PointerArray&& other) noexcept { *this = std::move(other); }

PointerArray& PointerArray::operator=(PointerArray&& other) noexcept {
  if (this == &other) return *this;
  if (items_ != inline_) std::free(items_);
  if (other.items_ == other.inline_) {
    std::memcpy(inline_, other.inline_, sizeof inline_);
    items_ = inline_;
  } else {
    items_ = other.items_;
  }
  count_ = other.count_;
  capacity_ = other.capacity_;
  growStep_ = other.growStep_;
  other.items_ = other.inline_;
  other.count_ = 0;
  other.capacity_ = kInlineSlots;
  other.growStep_ = 32;
  return *this;
}

PointerArray::~PointerArray() {
  if (items_ != inline_) std::free(items_);
}

void PointerArray::Grow() {
  int capacity = capacity_ + growStep_;
  auto* grown = static_cast<void**>(std::malloc(sizeof(void*) * static_cast<size_t>(capacity)));
  if (grown == nullptr) throw std::bad_alloc();  // out of memory ends the process
  std::memcpy(grown, items_, sizeof(void*) * static_cast<size_t>(count_));
  if (items_ != inline_) std::free(items_);
  items_ = grown;
  capacity_ = capacity;
  growStep_ = growStep_ * 2 > 500000 ? 500000 : growStep_ * 2;
}

void PointerArray::Set(int index, void* item) {
  if (index >= 0 && index < count_) items_[index] = item;
}

void PointerArray::InsertAt(int index, void* item) {
  if (count_ == capacity_) Grow();
  if (index < 0 || index > count_) index = count_;
  std::memmove(items_ + index + 1, items_ + index, sizeof(void*) * static_cast<size_t>(count_ - index));
  items_[index] = item;
  ++count_;
}

void* PointerArray::RemoveAt(int index) {
  if (index < 0 || index >= count_) return nullptr;
  void* item = items_[index];
  std::memmove(items_ + index, items_ + index + 1, sizeof(void*) * static_cast<size_t>(count_ - index - 1));
  --count_;
  return item;
}
