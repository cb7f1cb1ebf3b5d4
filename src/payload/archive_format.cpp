#include "payload/archive_format.h"

#include "payload/member_method.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kFourGiB = uint64_t(1) << 32;

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PokeU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

}  // namespace

ArchiveWriteStatus WriteArchive(const std::vector<PackedMember>& members, std::vector<uint8_t>& out,
                                const std::vector<std::vector<uint8_t>>& blocks) {
  out.clear();
  uint64_t total = kArchiveReservedSize + kArchiveTrailerSize;
  for (const std::vector<uint8_t>& block : blocks) total += block.size();
  for (size_t i = 0; i < members.size(); ++i) {
    const PackedMember& member = members[i];
    if (member.name.size() > kArchiveMaxNameBytes) return ArchiveWriteStatus::NameTooLong;
    if (member.name.find('\0') != std::string::npos) return ArchiveWriteStatus::NameHasZero;
    const bool shares = member.sameDataAs != PackedMember::kOwnData;
    const bool solid = member.solidBlock != PackedMember::kNoBlock;
    if (shares && (member.sameDataAs >= i || members[member.sameDataAs].sameDataAs != PackedMember::kOwnData ||
                   !member.packed.empty() || solid)) {
      return ArchiveWriteStatus::BadSameData;
    }
    if (solid && (member.solidBlock >= blocks.size() || !member.packed.empty())) {
      return ArchiveWriteStatus::BadSolidBlock;
    }
    if (!shares) total += solid ? kSolidReferenceSize : member.packed.size();
    total += kArchiveEntryHeaderSize + member.name.size() + 1;
    if (total >= kFourGiB) return ArchiveWriteStatus::TooLarge;
  }

  // A block goes just in front of its first member's reference, so that a
  // reader going through the members in order reads forwards.
  out.reserve(static_cast<size_t>(total));
  out.assign(kArchiveReservedSize, 0);
  std::vector<uint32_t> blockOffsets(blocks.size(), 0);
  std::vector<bool> blockWritten(blocks.size(), false);
  std::vector<uint32_t> offsets, sizes, sums;
  offsets.reserve(members.size());
  sizes.reserve(members.size());
  sums.reserve(members.size());
  for (const PackedMember& member : members) {
    if (member.sameDataAs != PackedMember::kOwnData) {
      offsets.push_back(offsets[member.sameDataAs]);
      sizes.push_back(sizes[member.sameDataAs]);
      sums.push_back(sums[member.sameDataAs]);
      continue;
    }
    std::vector<uint8_t> reference;
    if (member.solidBlock != PackedMember::kNoBlock) {
      const std::vector<uint8_t>& block = blocks[member.solidBlock];
      if (!blockWritten[member.solidBlock]) {
        blockOffsets[member.solidBlock] = static_cast<uint32_t>(out.size());
        blockWritten[member.solidBlock] = true;
        out.insert(out.end(), block.begin(), block.end());
      }
      SolidReference where;
      where.blockOffset = blockOffsets[member.solidBlock];
      where.blockPackedSize = static_cast<uint32_t>(block.size());
      where.blockPackedSum = PackedSum(block.data(), block.size());
      where.start = member.solidStart;
      where.size = member.unpackedSize;
      reference = SolidReferenceBytes(where);
    }
    const std::vector<uint8_t>& data = reference.empty() ? member.packed : reference;
    offsets.push_back(static_cast<uint32_t>(out.size()));
    sizes.push_back(static_cast<uint32_t>(data.size()));
    sums.push_back(PackedSum(data.data(), data.size()));
    out.insert(out.end(), data.begin(), data.end());
  }

  const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  for (size_t i = 0; i < members.size(); ++i) {
    const PackedMember& member = members[i];
    PutU32(out, offsets[i]);
    PutU32(out, sizes[i]);
    PutU32(out, member.unpackedSize);
    PutU32(out, sums[i]);
    out.push_back(static_cast<uint8_t>(member.name.size() + 1));
    out.insert(out.end(), member.name.begin(), member.name.end());
    out.push_back(0);
  }

  const size_t trailerAt = out.size();
  out.resize(trailerAt + kArchiveTrailerSize, 0);
  uint8_t* trailer = out.data() + trailerAt;
  PokeU32(trailer + 8, directoryOffset);
  PokeU32(trailer + 12, static_cast<uint32_t>(members.size()));
  PokeU32(trailer + 16, kArchiveMagic1);
  PokeU32(trailer + 20, kArchiveMagic2);
  PokeU32(trailer + 4, static_cast<uint32_t>(TrailerSum(trailer)));
  PokeU32(trailer, ArchiveChecksum(out.data(), trailerAt));
  return ArchiveWriteStatus::Ok;
}

uint32_t ArchiveChecksum(const uint8_t* data, size_t n) {
  const uint32_t sum = ArchiveWordSum(data, n);
  return sum == 0 ? 1 : sum;
}

uint32_t ArchiveWordSum(const uint8_t* data, size_t n) {
  // The whole payload passes through here when the installer opens: four
  // sums that do not wait on each other let it run at the speed of memory
  // (the compiler turns them into one vector addition where it can).
  uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  size_t i = 0;
  for (; n - i >= 16; i += 16) {
    s0 += GetU32(data + i);
    s1 += GetU32(data + i + 4);
    s2 += GetU32(data + i + 8);
    s3 += GetU32(data + i + 12);
  }
  uint32_t sum = s0 + s1 + s2 + s3;
  for (; n - i >= 4; i += 4) sum += GetU32(data + i);
  for (; i < n; ++i) sum += data[i];
  return sum;
}

int32_t TrailerSum(const uint8_t* trailer24) {
  int32_t sum = 0;
  for (size_t i = 8; i < kArchiveTrailerSize; ++i) sum += static_cast<int8_t>(trailer24[i]);
  return sum;
}

uint32_t PackedSum(const uint8_t* data, size_t n) {
  // Eight bytes at a time: the bytes go pairwise into four 16-bit lanes,
  // which a block of 128 words cannot overflow (128 * 2 * 255 < 65536).
  // Byte order does not matter for a sum of bytes.
  constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFull;
  uint32_t sum = 0;
  size_t i = 0;
  while (n - i >= 8) {
    const size_t words = std::min<size_t>((n - i) / 8, 128);
    uint64_t lanes = 0;
    for (size_t w = 0; w < words; ++w, i += 8) {
      uint64_t x;
      std::memcpy(&x, data + i, 8);
      lanes += (x & kEvenBytes) + ((x >> 8) & kEvenBytes);
    }
    sum += static_cast<uint32_t>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) + ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
  }
  for (; i < n; ++i) sum += data[i];
  return sum;
}

ArchiveReadStatus ReadArchiveDirectory(const uint8_t* data, size_t size, std::vector<ArchiveEntryInfo>& entries,
                                       const uint32_t* checksum) {
  entries.clear();
  if (data == nullptr || size < kArchiveTrailerSize) return ArchiveReadStatus::NoTrailer;
  const size_t trailerAt = size - kArchiveTrailerSize;
  const uint8_t* trailer = data + trailerAt;
  if (GetU32(trailer + 16) != kArchiveMagic1 || GetU32(trailer + 20) != kArchiveMagic2) {
    return ArchiveReadStatus::BadMagic;
  }
  if (static_cast<int32_t>(GetU32(trailer + 4)) != TrailerSum(trailer)) return ArchiveReadStatus::BadTrailerSum;
  const uint32_t sum = checksum != nullptr ? *checksum : ArchiveChecksum(data, trailerAt);
  if (GetU32(trailer) != sum) return ArchiveReadStatus::BadChecksum;

  const uint64_t directoryOffset = GetU32(trailer + 8);
  const uint32_t count = GetU32(trailer + 12);
  if (directoryOffset > size) return ArchiveReadStatus::DirectoryUnreachable;

  // The entries are read from the directory onwards up to the end of the
  // data; once one is cut short, every later one would be too.
  size_t at = static_cast<size_t>(directoryOffset);
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < kArchiveEntryHeaderSize) break;
    const uint8_t* header = data + at;
    const size_t nameLength = header[16];
    if (size - at - kArchiveEntryHeaderSize < nameLength) break;
    const char* nameBytes = reinterpret_cast<const char*>(header + kArchiveEntryHeaderSize);
    at += kArchiveEntryHeaderSize + nameLength;

    ArchiveEntryInfo entry;
    entry.dataOffset = GetU32(header);
    entry.packedSize = GetU32(header + 4);
    entry.unpackedSize = GetU32(header + 8);
    entry.packedSum = GetU32(header + 12);
    // Packed data must lie in the area that the file checksum covers.
    if (uint64_t(entry.dataOffset) + entry.packedSize > trailerAt) continue;
    entry.name.assign(nameBytes, strnlen(nameBytes, nameLength));
    entries.push_back(std::move(entry));
  }
  return ArchiveReadStatus::Ok;
}
