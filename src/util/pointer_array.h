#pragma once
// A growable array of untyped pointers with 16 inline slots. It owns its
// storage, never the items.

#include <cstddef>

class PointerArray {
 public:
  PointerArray() = default;
  PointerArray(const PointerArray&) = delete;
  PointerArray& operator=(const PointerArray&) = delete;
  PointerArray(PointerArray&& other) noexcept;
  PointerArray& operator=(PointerArray&& other) noexcept;
  ~PointerArray();

  int Count() const { return count_; }
  void* At(int index) const { return index >= 0 && index < count_ ? items_[index] : nullptr; }
  void Set(int index, void* item);
  void Add(void* item) { InsertAt(-1, item); }
  // A position beyond the end, or -1, appends.
  void InsertAt(int index, void* item);
  // Shifts the later items down; returns the removed item (null when out of range).
  void* RemoveAt(int index);
  void Clear() { count_ = 0; }

 private:
  void Grow();

  static constexpr int kInlineSlots = 16;
  void* inline_[kInlineSlots] = {};
  void** items_ = inline_;
  int count_ = 0;
  int capacity_ = kInlineSlots;
  int growStep_ = 32;
};
