#include "packer/archive_inspect.h"

#include <cstdio>

#include "packer/script_members.h"
#include "pe/resource_tree.h"

namespace {

constexpr size_t kChunk = 1u << 20;  // a multiple of 4, so word sums carry across pieces

std::string Hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string EntryLabel(size_t index, const ArchiveEntryInfo& entry) {
  return "member " + std::to_string(index + 1) + " '" + Cp1252ToUtf8(entry.name) + "'";
}

}  // namespace

bool LocateArchive(const ByteSource& file, ArchiveLocation* location, std::string* error) {
  uint64_t offset = 0;
  uint32_t size = 0;
  PeStatus status = LocateResource(file, kResourceTypeRcData, kPayloadResourceId, -1, &offset, &size);
  if (status == PeStatus::NotPe) {
    // A payload archive by itself (as a resource editor extracts it) ends
    // with the trailer's magic; anything else is no file of ours.
    uint8_t magic[4];
    if (file.Size() < kArchiveTrailerSize || !file.ReadAt(file.Size() - 4, magic, 4) ||
        LoadU32(magic) != kArchiveMagic2) {
      *error = "not an installer built by plovepack (neither a Windows program nor a payload archive)";
      return false;
    }
    *location = ArchiveLocation{0, file.Size(), true};
    return true;
  }
  if (status == PeStatus::NotFound) {
    *error = "not an installer built by plovepack: a Windows program without a payload";
    return false;
  }
  if (status != PeStatus::Ok) {
    *error = PeStatusText(status);
    return false;
  }
  *location = ArchiveLocation{offset, size, false};
  return true;
}

bool ReadArchiveListing(const ByteSource& file, const ArchiveLocation& location, ArchiveListing* listing) {
  *listing = ArchiveListing{};
  auto fault = [&](std::string text) { listing->faults.push_back(std::move(text)); };
  if (location.size < kArchiveTrailerSize) {
    fault("archive of " + std::to_string(location.size) + " bytes has no trailer");
    return false;
  }
  uint64_t trailerAt = location.size - kArchiveTrailerSize;
  uint8_t trailer[kArchiveTrailerSize];
  if (!file.ReadAt(location.offset + trailerAt, trailer, sizeof trailer)) {
    fault("cannot read the trailer");
    return false;
  }
  listing->storedChecksum = LoadU32(trailer);
  uint32_t storedTrailerSum = LoadU32(trailer + 4);
  listing->directoryOffset = LoadU32(trailer + 8);
  listing->entryCount = LoadU32(trailer + 12);
  bool usable = true;
  if (LoadU32(trailer + 16) != kArchiveMagic1) {
    fault("magic 1 is " + Hex(LoadU32(trailer + 16)) + ", not " + Hex(kArchiveMagic1));
    usable = false;
  }
  if (LoadU32(trailer + 20) != kArchiveMagic2) {
    fault("magic 2 is " + Hex(LoadU32(trailer + 20)) + ", not " + Hex(kArchiveMagic2));
    usable = false;
  }
  if (uint32_t(TrailerSum(trailer)) != storedTrailerSum) {
    fault("trailer sum is " + Hex(storedTrailerSum) + ", computed " + Hex(uint32_t(TrailerSum(trailer))));
  }
  if (listing->directoryOffset > trailerAt) {
    fault("directory offset " + std::to_string(listing->directoryOffset) + " lies beyond the directory area");
    return false;
  }
  if (!usable) return false;

  std::vector<uint8_t> directory(size_t(trailerAt - listing->directoryOffset));
  if (!file.ReadAt(location.offset + listing->directoryOffset, directory.data(), directory.size())) {
    fault("cannot read the directory");
    return false;
  }
  size_t at = 0;
  for (uint32_t i = 0; i < listing->entryCount; ++i) {
    if (directory.size() - at < kArchiveEntryHeaderSize) {
      fault("directory entry " + std::to_string(i + 1) + " of " + std::to_string(listing->entryCount) +
            " runs past the end of the directory");
      break;
    }
    const uint8_t* p = &directory[at];
    ArchiveEntryInfo entry;
    entry.dataOffset = LoadU32(p);
    entry.packedSize = LoadU32(p + 4);
    entry.unpackedSize = LoadU32(p + 8);
    entry.packedSum = LoadU32(p + 12);
    size_t nameLength = p[16];
    at += kArchiveEntryHeaderSize;
    if (directory.size() - at < nameLength) {
      fault("the name of directory entry " + std::to_string(i + 1) + " runs past the end of the directory");
      break;
    }
    entry.name.assign(reinterpret_cast<const char*>(&directory[at]), nameLength);
    at += nameLength;
    if (nameLength == 0 || entry.name.back() != '\0') {
      fault("the name of directory entry " + std::to_string(i + 1) + " does not end with a zero byte");
    }
    entry.name = entry.name.substr(0, entry.name.find('\0'));
    if (uint64_t(entry.dataOffset) + entry.packedSize > trailerAt) {
      fault(EntryLabel(i, entry) + ": packed data lies outside the archive");
    }
    listing->entries.push_back(std::move(entry));
  }
  return true;
}

bool ComputeArchiveChecksum(const ByteSource& file, const ArchiveLocation& location, uint32_t* checksum) {
  uint64_t n = location.size >= kArchiveTrailerSize ? location.size - kArchiveTrailerSize : 0;
  std::vector<uint8_t> buffer(kChunk);
  uint32_t sum = 0;
  for (uint64_t done = 0; done < n;) {
    size_t piece = size_t(std::min<uint64_t>(kChunk, n - done));
    if (!file.ReadAt(location.offset + done, buffer.data(), piece)) return false;
    size_t words = piece / 4 * 4;
    for (size_t i = 0; i < words; i += 4) sum += LoadU32(&buffer[i]);
    for (size_t i = words; i < piece; ++i) sum += buffer[i];
    done += piece;
  }
  *checksum = sum == 0 ? 1 : sum;
  return true;
}

const char* MemberStatusText(MemberStatus status) {
  switch (status) {
    case MemberStatus::Ok: return "ok";
    case MemberStatus::BadSolidBlock: return "its solid block lies outside the archive, is damaged or does not hold it";
    case MemberStatus::OutOfRange: return "packed data lies outside the archive";
    case MemberStatus::ReadFailed: return "cannot read the packed data";
    case MemberStatus::SumMismatch: return "packed sum does not match";
    case MemberStatus::BadHeader: return "LZMA header refused";
    case MemberStatus::DataError: return "LZMA data corrupt or cut short";
    case MemberStatus::BadStoredHeader: return "stored header refused";
    case MemberStatus::StoredSizeWrong: return "stored data is not of the size its header states";
    case MemberStatus::SizeMismatch: return "decodes to a size other than the directory states";
    case MemberStatus::MemoryError: return "out of memory while decoding";
    case MemberStatus::SinkFailed: return "cannot write the output";
  }
  return "unknown error";
}

MemberMethod MethodOfMember(const ByteSource& file, const ArchiveLocation& location, const ArchiveEntryInfo& entry) {
  uint8_t start[kStoredHeaderSize];
  const size_t want = std::min<size_t>(sizeof start, entry.packedSize);
  if (location.size < kArchiveTrailerSize ||
      uint64_t(entry.dataOffset) + entry.packedSize > location.size - kArchiveTrailerSize ||
      !file.ReadAt(location.offset + entry.dataOffset, start, want)) {
    return MemberMethod::Lzma;
  }
  return MethodOf(start, want);
}

namespace {

// The solid member's bytes to sink, its block read, checked and decoded
// (or taken from cache).
MemberStatus DecodeSolidMember(const ByteSource& file, const ArchiveLocation& location, const SolidReference& where,
                               const LzmaAloneDecoder::Sink& sink, SolidBlockCache* cache) {
  SolidBlockCache local;
  SolidBlockCache& block = cache != nullptr ? *cache : local;
  if (!block.held || block.offset != where.blockOffset || block.packedSize != where.blockPackedSize ||
      block.packedSum != where.blockPackedSum) {
    block = SolidBlockCache{};
    if (uint64_t(where.blockOffset) + where.blockPackedSize > location.size - kArchiveTrailerSize) {
      return MemberStatus::BadSolidBlock;
    }
    std::vector<uint8_t> packed(where.blockPackedSize);
    if (!file.ReadAt(location.offset + where.blockOffset, packed.data(), packed.size())) {
      return MemberStatus::ReadFailed;
    }
    if (PackedSum(packed.data(), packed.size()) != where.blockPackedSum) return MemberStatus::BadSolidBlock;
    switch (DecodeSolidBlock(packed.data(), packed.size(), block.bytes)) {
      case LzmaDecodeStatus::Ok: break;
      case LzmaDecodeStatus::MemoryError: return MemberStatus::MemoryError;
      default: return MemberStatus::BadSolidBlock;
    }
    block.offset = where.blockOffset;
    block.packedSize = where.blockPackedSize;
    block.packedSum = where.blockPackedSum;
    block.held = true;
  }
  if (!SliceFitsBlock(where, block.bytes.size())) return MemberStatus::BadSolidBlock;
  if (where.size > 0 && !sink(block.bytes.data() + where.start, where.size)) return MemberStatus::SinkFailed;
  return MemberStatus::Ok;
}

}  // namespace

MemberStatus DecodeMember(const ByteSource& file, const ArchiveLocation& location, const ArchiveEntryInfo& entry,
                          const LzmaAloneDecoder::Sink& sink, SolidBlockCache* cache) {
  if (location.size < kArchiveTrailerSize ||
      uint64_t(entry.dataOffset) + entry.packedSize > location.size - kArchiveTrailerSize) {
    return MemberStatus::OutOfRange;
  }
  if (entry.packedSize == kSolidReferenceSize) {
    uint8_t record[kSolidReferenceSize];
    if (!file.ReadAt(location.offset + entry.dataOffset, record, sizeof record)) return MemberStatus::ReadFailed;
    SolidReference where;
    if (MethodOf(record, sizeof record) == MemberMethod::Solid) {
      if (PackedSum(record, sizeof record) != entry.packedSum) return MemberStatus::SumMismatch;
      if (!ReadSolidReference(record, sizeof record, &where)) return MemberStatus::BadHeader;
      const MemberStatus status = DecodeSolidMember(file, location, where, sink, cache);
      if (status != MemberStatus::Ok) return status;
      return where.size == entry.unpackedSize ? MemberStatus::Ok : MemberStatus::SizeMismatch;
    }
  }
  MemberDecoder decoder(sink);
  std::vector<uint8_t> buffer(std::min<size_t>(kChunk, entry.packedSize));
  uint32_t sum = 0;
  LzmaDecodeStatus status = LzmaDecodeStatus::NeedInput;
  for (uint64_t done = 0; done < entry.packedSize;) {
    size_t piece = size_t(std::min<uint64_t>(kChunk, entry.packedSize - done));
    if (!file.ReadAt(location.offset + entry.dataOffset + done, buffer.data(), piece)) return MemberStatus::ReadFailed;
    sum += PackedSum(buffer.data(), piece);
    // Keep summing after the stream has ended: the sum covers every byte.
    if (status == LzmaDecodeStatus::NeedInput) status = decoder.Feed(buffer.data(), piece);
    done += piece;
  }
  if (status == LzmaDecodeStatus::NeedInput) status = decoder.Finish();
  if (sum != entry.packedSum) return MemberStatus::SumMismatch;
  const bool stored = decoder.Method() == MemberMethod::Stored;
  switch (status) {
    case LzmaDecodeStatus::Ok: break;
    case LzmaDecodeStatus::BadHeader: return stored ? MemberStatus::BadStoredHeader : MemberStatus::BadHeader;
    case LzmaDecodeStatus::DataError: return stored ? MemberStatus::StoredSizeWrong : MemberStatus::DataError;
    case LzmaDecodeStatus::MemoryError: return MemberStatus::MemoryError;
    case LzmaDecodeStatus::SinkFailed: return MemberStatus::SinkFailed;
    default: return MemberStatus::DataError;
  }
  if (decoder.Produced() != entry.unpackedSize) return MemberStatus::SizeMismatch;
  return MemberStatus::Ok;
}

std::vector<std::string> VerifyArchive(const ByteSource& file, const ArchiveLocation& location) {
  ArchiveListing listing;
  bool readable = ReadArchiveListing(file, location, &listing);
  std::vector<std::string> faults = listing.faults;
  if (!readable) return faults;
  uint32_t checksum = 0;
  if (!ComputeArchiveChecksum(file, location, &checksum)) {
    faults.push_back("cannot read the archive to compute its checksum");
  } else if (checksum != listing.storedChecksum) {
    faults.push_back("file checksum is " + Hex(listing.storedChecksum) + ", computed " + Hex(checksum));
  }
  SolidBlockCache blocks;
  for (size_t i = 0; i < listing.entries.size(); ++i) {
    MemberStatus status =
        DecodeMember(file, location, listing.entries[i], [](const uint8_t*, size_t) { return true; }, &blocks);
    if (status != MemberStatus::Ok) faults.push_back(EntryLabel(i, listing.entries[i]) + ": " + MemberStatusText(status));
  }
  return faults;
}
