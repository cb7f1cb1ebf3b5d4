#include "payload/win/solid_blocks.h"

#include <algorithm>
#include <new>

#include "payload/archive_format.h"
#include "util/win/sync.h"

SolidBlocks::Bytes SolidBlocks::Decode(const SolidReference& where, DecodeFailure* failure) const {
  *failure = DecodeFailure::Read;
  if (size_ < kArchiveTrailerSize || uint64_t(where.blockOffset) + where.blockPackedSize > size_ - kArchiveTrailerSize) {
    return nullptr;
  }
  const uint8_t* packed = archive_ + where.blockOffset;
  if (PackedSum(packed, where.blockPackedSize) != where.blockPackedSum) return nullptr;
  try {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    switch (DecodeSolidBlock(packed, where.blockPackedSize, *bytes)) {
      case LzmaDecodeStatus::Ok: *failure = DecodeFailure::None; return bytes;
      case LzmaDecodeStatus::MemoryError: *failure = DecodeFailure::Write; return nullptr;
      default: return nullptr;
    }
  } catch (const std::bad_alloc&) {
    *failure = DecodeFailure::Write;
    return nullptr;
  }
}

SolidBlocks::Bytes SolidBlocks::Block(const SolidReference& where, DecodeFailure* failure) {
  SrwGuard guard(lock_);
  for (;;) {
    auto at = std::find_if(held_.begin(), held_.end(), [&](const Held& h) {
      return h.offset == where.blockOffset && h.packedSize == where.blockPackedSize;
    });
    if (at == held_.end()) break;
    if (at->bytes) {
      at->lastUse = ++uses_;
      *failure = DecodeFailure::None;
      return at->bytes;
    }
    SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
  }
  // Ours to decode: the others wait for it, without the lock.
  try {
    held_.push_back(Held{where.blockOffset, where.blockPackedSize, nullptr, ++uses_});
  } catch (const std::bad_alloc&) {
    *failure = DecodeFailure::Write;
    return nullptr;
  }
  ReleaseSRWLockExclusive(&lock_);
  Bytes bytes = Decode(where, failure);
  AcquireSRWLockExclusive(&lock_);
  auto mine = std::find_if(held_.begin(), held_.end(), [&](const Held& h) {
    return h.offset == where.blockOffset && h.packedSize == where.blockPackedSize && !h.bytes;
  });
  if (!bytes) {
    held_.erase(mine);
  } else {
    mine->bytes = bytes;
    mine->lastUse = ++uses_;
    // Beyond the few held, the one used longest ago goes (its users keep
    // their copy of the pointer); blocks still being decoded stay.
    while (held_.size() > kHeldSolidBlocks) {
      auto oldest = held_.end();
      for (auto h = held_.begin(); h != held_.end(); ++h) {
        if (h->bytes && h->bytes != bytes && (oldest == held_.end() || h->lastUse < oldest->lastUse)) oldest = h;
      }
      if (oldest == held_.end()) break;
      held_.erase(oldest);
    }
  }
  WakeAllConditionVariable(&changed_);
  return bytes;
}

DecodeFailure SolidBlocks::StoredFormOf(const SolidReference& where, std::vector<uint8_t>& out) {
  out.clear();
  DecodeFailure failure = DecodeFailure::None;
  const Bytes block = Block(where, &failure);
  if (!block) return failure;
  if (!SliceFitsBlock(where, block->size())) return DecodeFailure::Read;
  try {
    if (!StoreMember(block->data() + where.start, where.size, out)) return DecodeFailure::Read;
  } catch (const std::bad_alloc&) {
    out.clear();
    return DecodeFailure::Write;
  }
  return DecodeFailure::None;
}
