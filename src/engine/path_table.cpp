#include "engine/path_table.h"

#include "engine/path_key.h"

namespace {

// FNV-1a over the code units.
uint32_t HashOf(const std::u16string& key) {
  uint32_t hash = 2166136261u;
  for (char16_t c : key) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

// No path is empty; an empty key would read as a free slot.
std::u16string KeyOf(const WideString& path) {
  std::u16string key = PathKey(path);
  if (key.empty()) key.push_back(u'\\');
  return key;
}

}  // namespace

size_t PathTable::SlotOf(const std::u16string& key, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  size_t index = hash & mask;
  while (!slots_[index].key.empty() && slots_[index].key != key) index = (index + 1) & mask;
  return index;
}

const uint32_t* PathTable::Find(const WideString& path) const {
  if (slots_.empty()) return nullptr;
  const std::u16string key = KeyOf(path);
  const Slot& slot = slots_[SlotOf(key, HashOf(key))];
  return slot.key.empty() ? nullptr : &slot.value;
}

uint32_t* PathTable::Find(const WideString& path) {
  return const_cast<uint32_t*>(static_cast<const PathTable*>(this)->Find(path));
}

uint32_t& PathTable::At(const WideString& path) {
  if (static_cast<size_t>(count_ + 1) * 4 > slots_.size() * 3) Grow();
  std::u16string key = KeyOf(path);
  Slot& slot = slots_[SlotOf(key, HashOf(key))];
  if (slot.key.empty()) {
    slot.key = std::move(key);
    ++count_;
  }
  return slot.value;
}

void PathTable::Grow() {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.resize(old.empty() ? 64 : old.size() * 2);
  for (Slot& slot : old) {
    if (slot.key.empty()) continue;
    Slot& moved = slots_[SlotOf(slot.key, HashOf(slot.key))];
    moved.key = std::move(slot.key);
    moved.value = slot.value;
  }
}

void PathTable::Clear() {
  slots_.clear();
  count_ = 0;
}
