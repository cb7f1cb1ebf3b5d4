#pragma once
// The decoded solid blocks of an archive, shared by the members they hold.
// A block is decoded once, by the first thread that wants one of its
// members; a thread that wants it meanwhile waits for that decoding rather
// than doing it again. The last few blocks stay decoded for the members
// still to come (a block's members follow one another in the archive, and
// the install takes them in about that order); one no longer held is
// decoded again when it is asked for later.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "payload/member_method.h"
#include "payload/win/decompress_file.h"
#include "util/win/windows_api.h"

constexpr size_t kHeldSolidBlocks = 3;

class SolidBlocks {
 public:
  using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

  // The archive's bytes (archive[0, size), the trailer included) whose
  // blocks these are; they must outlive every member decoded through here.
  SolidBlocks(const uint8_t* archive, size_t size) : archive_(archive), size_(size) {}
  SolidBlocks(const SolidBlocks&) = delete;
  SolidBlocks& operator=(const SolidBlocks&) = delete;

  // The member that where names, in the stored form (member_method.h), in
  // out. Read: the block lies outside the archive, does not match its sum,
  // does not decode, or does not hold the slice; Write: out of memory.
  DecodeFailure StoredFormOf(const SolidReference& where, std::vector<uint8_t>& out);

 private:
  struct Held {
    uint32_t offset = 0;
    uint32_t packedSize = 0;
    Bytes bytes;  // null while a thread decodes it
    uint64_t lastUse = 0;
  };

  // The block decoded, or null with the failure.
  Bytes Block(const SolidReference& where, DecodeFailure* failure);
  Bytes Decode(const SolidReference& where, DecodeFailure* failure) const;

  const uint8_t* archive_;
  size_t size_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
  std::vector<Held> held_;
  uint64_t uses_ = 0;
};
