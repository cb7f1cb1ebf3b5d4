#pragma once
// The payload archive: a 128-byte reserved area, the members' packed data,
// a directory of entries and a 24-byte trailer, all little-endian.
//
//   trailer: file checksum | trailer sum | directory offset | entry count |
//            magic 1 | magic 2
//   entry:   data offset | packed size | unpacked size | packed sum |
//            name length (terminating zero included) | name bytes
//
// A member's packed data is one LZMA-alone stream, or the member stored as
// it is behind a 13-byte header that starts with 0xFF, a properties byte
// that no LZMA-alone stream may have (member_method.h). The packed sum and
// the file checksum cover the packed data whichever it is. Archives written
// before stored members existed hold streams only: each of them starts
// with a properties byte below 225, or was refused for its properties as it
// still is, so they read exactly as they did.
//
// Everything here works on memory buffers; the installer and the packer
// both build on it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint16_t kPayloadResourceId = 24356;  // RT_RCDATA
constexpr uint32_t kArchiveMagic1 = 0x03345283;
constexpr uint32_t kArchiveMagic2 = 0x0EFFF343;
constexpr size_t kArchiveReservedSize = 128;
constexpr size_t kArchiveTrailerSize = 24;
constexpr size_t kArchiveEntryHeaderSize = 17;
// The length byte counts the terminating zero, so a name holds at most 254 bytes.
constexpr size_t kArchiveMaxNameBytes = 254;

// One member as the packer hands it over: its name in the ANSI code page
// (no zero byte), its packed data (an LZMA-alone stream or the stored form)
// and the size after decompression.
//
// A member whose content is that of an earlier member names it in sameDataAs
// and leaves packed empty: the archive holds those bytes once and both
// entries point at them. Every reader takes an entry's data where its offset
// says, so installers made before this read such archives too.
//
// A small member may instead be a slice of a solid block (member_method.h):
// solidBlock names the block among those WriteArchive is given and
// solidStart where the member's bytes start in its output; packed is then
// empty, and WriteArchive writes the member's reference to the block.
struct PackedMember {
  static constexpr size_t kOwnData = static_cast<size_t>(-1);
  static constexpr size_t kNoBlock = static_cast<size_t>(-1);
  std::string name;
  std::vector<uint8_t> packed;
  uint32_t unpackedSize = 0;
  size_t sameDataAs = kOwnData;  // an earlier index whose packed data this is
  size_t solidBlock = kNoBlock;
  uint32_t solidStart = 0;
};

// One directory entry as read from an archive.
struct ArchiveEntryInfo {
  uint32_t dataOffset = 0;
  uint32_t packedSize = 0;
  uint32_t unpackedSize = 0;
  uint32_t packedSum = 0;
  std::string name;  // the name bytes up to the first zero byte
};

enum class [[nodiscard]] ArchiveWriteStatus {
  Ok,
  NameTooLong,   // more than kArchiveMaxNameBytes bytes
  NameHasZero,   // a zero byte inside the name
  TooLarge,      // the archive would reach 4 GiB
  BadSameData,   // sameDataAs names no earlier member with data of its own
  BadSolidBlock,  // solidBlock names no block, or the member has packed data too
};

enum class [[nodiscard]] ArchiveReadStatus {
  Ok,
  // Not an archive: reported by nobody (the caller just finds no entries).
  NoTrailer,          // fewer than 24 bytes
  BadMagic,
  BadTrailerSum,
  // A damaged archive: the caller reports the corruption.
  BadChecksum,
  DirectoryUnreachable,  // the directory offset lies beyond the data
};

// True for the statuses that mean "an archive, but damaged".
inline bool IsArchiveCorrupted(ArchiveReadStatus status) {
  return status == ArchiveReadStatus::BadChecksum || status == ArchiveReadStatus::DirectoryUnreachable;
}

// Lays out the whole archive in out (replacing its content): the reserved
// zeros, the packed data back to back in member order (once for members
// that share it; each solid block, packed as a member of another method,
// just in front of the reference of its first member), the directory in
// the same order and the trailer. On failure out is left empty.
ArchiveWriteStatus WriteArchive(const std::vector<PackedMember>& members, std::vector<uint8_t>& out,
                                const std::vector<std::vector<uint8_t>>& blocks = {});

// Sum of the 4-byte little-endian words of data, then of the 0 to 3 bytes
// left over, modulo 2^32; a sum of 0 is reported as 1.
uint32_t ArchiveChecksum(const uint8_t* data, size_t n);
// The same sum before a sum of 0 becomes 1: the sums of consecutive pieces
// (each but the last a multiple of 4 bytes long) add up to it.
uint32_t ArchiveWordSum(const uint8_t* data, size_t n);
// Sum of trailer bytes 8 to 23, each as a signed 8-bit value.
int32_t TrailerSum(const uint8_t* trailer24);
// Sum of the bytes as unsigned values, modulo 2^32.
uint32_t PackedSum(const uint8_t* data, size_t n);

// Checks the trailer and the file checksum of the archive held in
// data[0, size) and reads its directory. Entries whose header or name runs
// past the end of the data, or whose packed data lies outside the area
// before the trailer, are left out. entries is cleared first and stays empty
// unless the result is Ok.
// checksum, when not null, is the ArchiveChecksum of everything before the
// trailer, taken by the caller from another copy of the same bytes (the
// installer reads its file instead of touching every page of its image).
ArchiveReadStatus ReadArchiveDirectory(const uint8_t* data, size_t size, std::vector<ArchiveEntryInfo>& entries,
                                       const uint32_t* checksum = nullptr);
