#pragma once
// A table from paths to small numbers, for the sets of files an install
// keeps track of. Paths compare as Windows compares them here: ignoring the
// case of the ASCII letters. Open addressing with linear probing in one
// vector of slots: a single plain class, so that the installer links one
// small table instead of a hashed container instantiated per use.

#include <cstdint>
#include <string>
#include <vector>

#include "util/wide_string.h"

class PathTable {
 public:
  // The number stored for path; nullptr when the table does not hold it.
  uint32_t* Find(const WideString& path);
  const uint32_t* Find(const WideString& path) const;
  // The number stored for path, added as 0 when the table did not hold it.
  uint32_t& At(const WideString& path);
  int Count() const { return count_; }
  void Clear();

 private:
  struct Slot {
    std::u16string key;  // empty: a free slot (no path is empty)
    uint32_t value = 0;
  };

  // The slot that holds key, or the free slot where it would go.
  size_t SlotOf(const std::u16string& key, uint32_t hash) const;
  void Grow();

  std::vector<Slot> slots_;  // a power of two in size, at most 3/4 full
  int count_ = 0;
};
