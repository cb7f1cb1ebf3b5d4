// The archive directory reader on hostile input. Every input is read twice:
// as it is (as the installer meets a resource) and "sealed" - the input
// behind a trailer with correct sums, so the fuzzer reaches the entries
// instead of stopping at the checksum. Entries that are read must lie in
// the data, and writing them out again must give the same directory.
#include <cstdlib>
#include <cstring>

#include "fuzz_seeds.h"
#include "payload/archive_format.h"

namespace {

uint32_t Le32(const uint8_t* at) { return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24; }

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckArchive(const uint8_t* data, size_t size) {
  std::vector<ArchiveEntryInfo> entries;
  const ArchiveReadStatus status = ReadArchiveDirectory(data, size, entries);
  if (status != ArchiveReadStatus::Ok) {
    Require(entries.empty());
    return;
  }
  std::vector<PackedMember> members;
  for (const ArchiveEntryInfo& entry : entries) {
    Require(uint64_t(entry.dataOffset) + entry.packedSize <= size - kArchiveTrailerSize);
    Require(entry.name.size() <= 255 && entry.name.find('\0') == std::string::npos);
    const uint8_t* packed = data + entry.dataOffset;
    members.push_back(PackedMember{entry.name, std::vector<uint8_t>(packed, packed + entry.packedSize), entry.unpackedSize});
  }

  std::vector<uint8_t> rewritten;
  const ArchiveWriteStatus written = WriteArchive(members, rewritten);
  if (written != ArchiveWriteStatus::Ok) {
    Require(written == ArchiveWriteStatus::NameTooLong);
    return;
  }
  std::vector<ArchiveEntryInfo> again;
  Require(ReadArchiveDirectory(rewritten.data(), rewritten.size(), again) == ArchiveReadStatus::Ok);
  Require(again.size() == entries.size());
  for (size_t i = 0; i < again.size(); ++i) {
    Require(again[i].name == entries[i].name);
    Require(again[i].packedSize == entries[i].packedSize);
    Require(again[i].unpackedSize == entries[i].unpackedSize);
    Require(again[i].packedSum == PackedSum(data + entries[i].dataOffset, entries[i].packedSize));
  }
}

// The first 8 bytes choose the directory offset and the entry count; the
// rest is the archive body.
std::vector<uint8_t> Seal(const uint8_t* data, size_t size) {
  std::vector<uint8_t> archive(data + 8, data + size);
  const size_t bodySize = archive.size();
  archive.resize(bodySize + kArchiveTrailerSize);
  uint8_t* trailer = archive.data() + bodySize;
  PutLe32(trailer + 8, static_cast<uint32_t>(Le32(data) % (bodySize + 1)));
  PutLe32(trailer + 12, Le32(data + 4));
  PutLe32(trailer + 16, kArchiveMagic1);
  PutLe32(trailer + 20, kArchiveMagic2);
  PutLe32(trailer + 4, static_cast<uint32_t>(TrailerSum(trailer)));
  PutLe32(trailer, ArchiveChecksum(archive.data(), bodySize));
  return archive;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exact-size copies, so reads past the end are caught.
  const std::vector<uint8_t> raw(data, data + size);
  CheckArchive(raw.data(), raw.size());
  if (size >= 8) {
    const std::vector<uint8_t> sealed = Seal(data, size);
    CheckArchive(sealed.data(), sealed.size());
  }
  return 0;
}

std::vector<std::vector<uint8_t>> FuzzSeeds() {
  std::vector<std::vector<uint8_t>> seeds;
  std::vector<uint8_t> archive;
  if (WriteArchive({}, archive) == ArchiveWriteStatus::Ok) seeds.push_back(archive);
  const std::vector<PackedMember> members = {
      {"setup.dat", {1, 2, 3, 4, 5}, 40}, {"SETUP.LIC", {0x80, 0xFF}, 2}, {"", {}, 0}, {std::string(254, 'x'), {9}, 1}};
  if (WriteArchive(members, archive) == ArchiveWriteStatus::Ok) {
    seeds.push_back(archive);
    // The same directory for the sealed reading: offset and count up front.
    std::vector<uint8_t> sealed(8);
    const size_t directory = Le32(archive.data() + archive.size() - 16);
    PutLe32(sealed.data(), static_cast<uint32_t>(directory));
    PutLe32(sealed.data() + 4, static_cast<uint32_t>(members.size()));
    sealed.insert(sealed.end(), archive.begin(), archive.end() - kArchiveTrailerSize);
    seeds.push_back(sealed);
    // Announcing more entries than there are.
    PutLe32(sealed.data() + 4, 0xFFFFFFFFu);
    seeds.push_back(sealed);
  }
  seeds.push_back({});
  seeds.push_back(std::vector<uint8_t>(24, 0xFF));
  return seeds;
}
