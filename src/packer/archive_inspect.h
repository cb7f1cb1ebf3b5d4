#pragma once
// Reading an installer's archive for list, verify and extract, through a
// ByteSource so that nothing but the directory is held in memory: members
// are read and decoded in pieces.

#include <cstdint>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "payload/lzma_alone.h"
#include "payload/member_method.h"
#include "pe/byte_source.h"

// Where the archive lies: the payload resource of an installer, or the
// whole file when it is a bare archive.
struct ArchiveLocation {
  uint64_t offset = 0;
  uint64_t size = 0;
  bool bare = false;
};

// False with a message when the file is a PE image without a payload, or
// a damaged PE image.
bool LocateArchive(const ByteSource& file, ArchiveLocation* location, std::string* error);

struct ArchiveListing {
  uint32_t storedChecksum = 0;
  uint32_t directoryOffset = 0;
  uint32_t entryCount = 0;
  std::vector<ArchiveEntryInfo> entries;  // the entries that could be read, in directory order
  std::vector<std::string> faults;        // one line each
};

// Reads the trailer and the directory; every problem becomes a fault line.
// The checksum over the data is not computed here. False when no directory
// could be read at all.
bool ReadArchiveListing(const ByteSource& file, const ArchiveLocation& location, ArchiveListing* listing);

// The file checksum of the archive (every byte before the trailer), read in
// pieces. False on a read failure.
bool ComputeArchiveChecksum(const ByteSource& file, const ArchiveLocation& location, uint32_t* checksum);

enum class [[nodiscard]] MemberStatus {
  Ok,
  OutOfRange,    // the packed data lies outside the archive
  ReadFailed,
  SumMismatch,   // packed sum differs from the directory
  BadHeader,     // LZMA header refused or cut short
  DataError,     // corrupt or truncated LZMA data
  BadStoredHeader,  // a stored member's header breaks the stated-size rules or is cut short
  StoredSizeWrong,  // a stored member holds more or fewer bytes than its header states
  SizeMismatch,  // decoded size differs from the directory's unpacked size
  MemoryError,
  SinkFailed,
  BadSolidBlock,  // a solid member's block is outside the archive, damaged, or does not hold its slice
};

const char* MemberStatusText(MemberStatus status);

// The method of the member's packed data; Lzma when its first bytes cannot
// be read.
MemberMethod MethodOfMember(const ByteSource& file, const ArchiveLocation& location, const ArchiveEntryInfo& entry);

// The last solid block decoded, for the members after it: the members of a
// block follow one another.
struct SolidBlockCache {
  uint32_t offset = 0;
  uint32_t packedSize = 0;
  uint32_t packedSum = 0;
  bool held = false;
  std::vector<uint8_t> bytes;
};

// Reads the member's packed data in pieces, sums it and decodes it (any
// method) into sink; a stored member's bytes reach the sink as read, a
// solid member's once its block is decoded (kept in cache, when given, for
// the next member of the same block). Every check is made; the sink has
// already seen the output when a later check (sum, size) fails, so callers
// writing files remove them on failure.
MemberStatus DecodeMember(const ByteSource& file, const ArchiveLocation& location, const ArchiveEntryInfo& entry,
                          const LzmaAloneDecoder::Sink& sink, SolidBlockCache* cache = nullptr);

// Every fault of the archive: trailer, magics, both sums, each member's
// packed sum, and each member decoding to its stated size. Empty when all
// hold.
std::vector<std::string> VerifyArchive(const ByteSource& file, const ArchiveLocation& location);
