#include "payload/archive_format.h"
#include "payload/member_method.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);  // little-endian hosts only
  return value;
}

void SetU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

PackedMember Member(const std::string& name, const std::string& packed, uint32_t unpacked = 7) {
  return PackedMember{name, Bytes(packed), unpacked};
}

std::vector<uint8_t> Write(const std::vector<PackedMember>& members) {
  std::vector<uint8_t> out;
  EXPECT_EQ(WriteArchive(members, out), ArchiveWriteStatus::Ok);
  return out;
}

// Recomputes the trailer sum and the file checksum after a test changed
// the archive, so the reader gets past them.
void Reseal(std::vector<uint8_t>& archive) {
  const size_t trailerAt = archive.size() - kArchiveTrailerSize;
  SetU32(archive, trailerAt + 4, static_cast<uint32_t>(TrailerSum(archive.data() + trailerAt)));
  SetU32(archive, trailerAt, ArchiveChecksum(archive.data(), trailerAt));
}

ArchiveReadStatus Read(const std::vector<uint8_t>& archive, std::vector<ArchiveEntryInfo>& entries) {
  return ReadArchiveDirectory(archive.data(), archive.size(), entries);
}

const std::vector<PackedMember> kTwo = {Member("setup.dat", "packed script"), Member("Bin\\App.exe", "xyz", 99)};

}  // namespace

TEST(ArchiveFormat, RoundTripKeepsLayoutAndEntries) {
  const std::vector<uint8_t> archive = Write(kTwo);
  const size_t dirAt = kArchiveReservedSize + 13 + 3;
  ASSERT_EQ(archive.size(), dirAt + (17 + 10) + (17 + 12) + kArchiveTrailerSize);
  for (size_t i = 0; i < kArchiveReservedSize; ++i) ASSERT_EQ(archive[i], 0) << i;
  EXPECT_EQ(std::memcmp(archive.data() + 128, "packed scriptxyz", 16), 0);
  const size_t trailerAt = archive.size() - 24;
  EXPECT_EQ(U32(archive, trailerAt + 8), dirAt);
  EXPECT_EQ(U32(archive, trailerAt + 12), 2u);
  EXPECT_EQ(U32(archive, trailerAt + 16), kArchiveMagic1);
  EXPECT_EQ(U32(archive, trailerAt + 20), kArchiveMagic2);
  EXPECT_EQ(archive[dirAt + 16], 10);  // the name length counts the zero
  EXPECT_EQ(archive[dirAt + 17 + 9], 0);

  std::vector<ArchiveEntryInfo> entries;
  ASSERT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "setup.dat");
  EXPECT_EQ(entries[0].dataOffset, 128u);
  EXPECT_EQ(entries[0].packedSize, 13u);
  EXPECT_EQ(entries[0].unpackedSize, 7u);
  EXPECT_EQ(entries[0].packedSum, PackedSum(reinterpret_cast<const uint8_t*>("packed script"), 13));
  EXPECT_EQ(entries[1].name, "Bin\\App.exe");
  EXPECT_EQ(entries[1].dataOffset, 141u);
  EXPECT_EQ(entries[1].packedSize, 3u);
  EXPECT_EQ(entries[1].unpackedSize, 99u);
}

TEST(ArchiveFormat, EmptyArchiveAndNameLimits) {
  std::vector<ArchiveEntryInfo> entries;
  const std::vector<uint8_t> empty = Write({});
  EXPECT_EQ(empty.size(), 128u + 24u);
  EXPECT_EQ(Read(empty, entries), ArchiveReadStatus::Ok);
  EXPECT_TRUE(entries.empty());

  std::vector<uint8_t> out{1, 2, 3};
  const std::string longest(254, 'n');
  const std::vector<uint8_t> archive = Write({Member(longest, "p"), Member("", "")});
  ASSERT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, longest);
  EXPECT_EQ(entries[1].name, "");
  EXPECT_EQ(entries[1].packedSize, 0u);

  EXPECT_EQ(WriteArchive({Member(longest + "n", "p")}, out), ArchiveWriteStatus::NameTooLong);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(WriteArchive({Member(std::string("a\0b", 3), "p")}, out), ArchiveWriteStatus::NameHasZero);
}

TEST(ArchiveFormat, SharedDataIsWrittenOnceAndPointedAtTwice) {
  PackedMember copy = Member("b", "");
  copy.sameDataAs = 0;
  std::vector<ArchiveEntryInfo> entries;
  const std::vector<uint8_t> archive = Write({Member("a", "data"), copy, Member("c", "xy")});
  ASSERT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].dataOffset, entries[0].dataOffset);
  EXPECT_EQ(entries[1].packedSize, 4u);
  EXPECT_EQ(entries[1].packedSum, entries[0].packedSum);
  EXPECT_EQ(entries[2].dataOffset, kArchiveReservedSize + 4);

  // A reference forward, to itself, to a member that shares in turn, or
  // one that brings data of its own is refused.
  PackedMember second = copy;
  second.sameDataAs = 1;
  PackedMember withData = Member("d", "zz");
  withData.sameDataAs = 0;
  PackedMember self = copy;
  self.sameDataAs = 0;
  const std::vector<std::vector<PackedMember>> refused = {
      {self}, {Member("a", "data"), copy, second}, {Member("a", "data"), withData}};
  for (const std::vector<PackedMember>& members : refused) {
    std::vector<uint8_t> out{1};
    EXPECT_EQ(WriteArchive(members, out), ArchiveWriteStatus::BadSameData);
    EXPECT_TRUE(out.empty());
  }
}

TEST(ArchiveFormat, SolidBlockGoesInFrontOfItsFirstMemberOnce) {
  PackedMember first = Member("a", ""), second = Member("b", "");
  first.solidBlock = second.solidBlock = 0;
  second.solidStart = 3;
  std::vector<uint8_t> out;
  ASSERT_EQ(WriteArchive({Member("x", "xx"), first, second}, out, {Bytes("BLOCK")}), ArchiveWriteStatus::Ok);
  std::vector<ArchiveEntryInfo> entries;
  ASSERT_EQ(Read(out, entries), ArchiveReadStatus::Ok);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].dataOffset, kArchiveReservedSize + 2 + 5) << "behind the block";
  EXPECT_EQ(entries[2].dataOffset, entries[1].dataOffset + kSolidReferenceSize);
  SolidReference where;
  ASSERT_TRUE(ReadSolidReference(out.data() + entries[2].dataOffset, entries[2].packedSize, &where));
  EXPECT_EQ(where.blockOffset, kArchiveReservedSize + 2);
  EXPECT_EQ(where.blockPackedSize, 5u);
  EXPECT_EQ(where.start, 3u);
  EXPECT_EQ(where.size, 7u);

  PackedMember nowhere = first;
  nowhere.solidBlock = 1;
  PackedMember withData = Member("d", "zz");
  withData.solidBlock = 0;
  for (const PackedMember& bad : {nowhere, withData}) {
    EXPECT_EQ(WriteArchive({bad}, out, {Bytes("BLOCK")}), ArchiveWriteStatus::BadSolidBlock);
    EXPECT_TRUE(out.empty());
  }
}

TEST(ArchiveFormat, ChecksumAddsWordsThenTrailingBytes) {
  const uint8_t words[] = {1, 0, 0, 0, 0, 1, 0, 0, 5, 6};
  EXPECT_EQ(ArchiveChecksum(words, 10), 1u + 256u + 5u + 6u);
  const uint8_t wraps[] = {0xFF, 0xFF, 0xFF, 0xFF, 1};
  EXPECT_EQ(ArchiveChecksum(wraps, 5), 1u);  // 0 is reported as 1
  EXPECT_EQ(ArchiveChecksum(nullptr, 0), 1u);
  const uint8_t high[] = {0x80, 0x90};
  EXPECT_EQ(PackedSum(high, 2), 0x110u);
}

TEST(ArchiveFormat, SumsMatchTheirDefinitionAtEveryLengthAndStart) {
  // The sums work on several words at once; their results must not depend
  // on where a run starts or ends, nor overflow inside with high bytes.
  std::vector<uint8_t> bytes(5000);
  uint32_t state = 7;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 23);
  }
  std::vector<uint8_t> high(5000, 0xFF);
  for (const std::vector<uint8_t>* data : {&bytes, &high}) {
    for (size_t start : {0, 1, 3, 7}) {
      for (size_t n : {0, 1, 3, 4, 15, 16, 17, 63, 1023, 1024, 1025, 2049, 4990}) {
        const uint8_t* at = data->data() + start;
        uint32_t words = 0;
        uint32_t plain = 0;
        size_t i = 0;
        for (; i + 4 <= n; i += 4) {
          words += uint32_t(at[i]) | uint32_t(at[i + 1]) << 8 | uint32_t(at[i + 2]) << 16 | uint32_t(at[i + 3]) << 24;
        }
        for (; i < n; ++i) words += at[i];
        for (i = 0; i < n; ++i) plain += at[i];
        EXPECT_EQ(ArchiveChecksum(at, n), words == 0 ? 1u : words) << start << " " << n;
        EXPECT_EQ(PackedSum(at, n), plain) << start << " " << n;
      }
    }
  }
}

TEST(ArchiveFormat, TrailerSumCountsHighBytesNegative) {
  uint8_t trailer[24] = {};
  trailer[8] = 0x80;
  trailer[9] = 0xFF;
  trailer[23] = 0x7F;
  trailer[0] = 0xFF;  // outside the summed range
  EXPECT_EQ(TrailerSum(trailer), -128 - 1 + 127);

  // The magics alone contain bytes of 128 and more: a reader summing them
  // unsigned would refuse every archive.
  const std::vector<uint8_t> archive = Write(kTwo);
  EXPECT_LT(static_cast<int32_t>(U32(archive, archive.size() - 20)), 0);
  std::vector<ArchiveEntryInfo> entries;
  EXPECT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
}

TEST(ArchiveFormat, TrailerProblemsAreSilentStatuses) {
  std::vector<ArchiveEntryInfo> entries;
  const std::vector<uint8_t> good = Write(kTwo);
  const size_t trailerAt = good.size() - 24;

  EXPECT_EQ(ReadArchiveDirectory(good.data(), 23, entries), ArchiveReadStatus::NoTrailer);
  EXPECT_EQ(ReadArchiveDirectory(nullptr, 0, entries), ArchiveReadStatus::NoTrailer);

  std::vector<uint8_t> archive = good;
  archive[trailerAt + 23] ^= 1;
  EXPECT_EQ(Read(archive, entries), ArchiveReadStatus::BadMagic);
  EXPECT_FALSE(IsArchiveCorrupted(ArchiveReadStatus::BadMagic));

  archive = good;
  SetU32(archive, trailerAt + 4, U32(archive, trailerAt + 4) + 1);
  EXPECT_EQ(Read(archive, entries), ArchiveReadStatus::BadTrailerSum);
  EXPECT_FALSE(IsArchiveCorrupted(ArchiveReadStatus::BadTrailerSum));
}

TEST(ArchiveFormat, ChecksumOffByOneIsCorruption) {
  std::vector<uint8_t> archive = Write(kTwo);
  const size_t trailerAt = archive.size() - 24;
  SetU32(archive, trailerAt, U32(archive, trailerAt) + 1);
  std::vector<ArchiveEntryInfo> entries{ArchiveEntryInfo()};
  EXPECT_EQ(Read(archive, entries), ArchiveReadStatus::BadChecksum);
  EXPECT_TRUE(IsArchiveCorrupted(ArchiveReadStatus::BadChecksum));
  EXPECT_TRUE(entries.empty());
}

TEST(ArchiveFormat, AChecksumTakenInPiecesIsTheOneCompared) {
  const std::vector<uint8_t> archive = Write(kTwo);
  const size_t trailerAt = archive.size() - 24;
  // Pieces of multiples of 4 bytes add up to the whole sum.
  uint32_t pieces = 0;
  for (size_t at = 0; at < trailerAt; at += 8) {
    pieces += ArchiveWordSum(archive.data() + at, std::min<size_t>(8, trailerAt - at));
  }
  const uint32_t whole = ArchiveChecksum(archive.data(), trailerAt);
  EXPECT_EQ(pieces == 0 ? 1 : pieces, whole);
  // The caller's sum is what counts, not the bytes in memory.
  std::vector<ArchiveEntryInfo> entries;
  EXPECT_EQ(ReadArchiveDirectory(archive.data(), archive.size(), entries, &whole), ArchiveReadStatus::Ok);
  EXPECT_EQ(entries.size(), 2u);
  const uint32_t other = whole + 1;
  EXPECT_EQ(ReadArchiveDirectory(archive.data(), archive.size(), entries, &other), ArchiveReadStatus::BadChecksum);
  EXPECT_TRUE(entries.empty());
}

TEST(ArchiveFormat, EveryChangedByteIsNoticed) {
  const std::vector<uint8_t> good = Write(kTwo);
  std::vector<ArchiveEntryInfo> entries;
  for (size_t at = 0; at < good.size(); ++at) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> archive = good;
      archive[at] ^= flip;
      EXPECT_NE(Read(archive, entries), ArchiveReadStatus::Ok) << "offset " << at << " flip " << int(flip);
    }
  }
}

TEST(ArchiveFormat, EveryTruncationIsRefused) {
  const std::vector<uint8_t> good = Write(kTwo);
  std::vector<ArchiveEntryInfo> entries;
  for (size_t size = 0; size < good.size(); ++size) {
    // A copy of exactly that size, so the sanitizer sees reads past it.
    const std::vector<uint8_t> cut(good.begin(), good.begin() + size);
    EXPECT_NE(Read(cut, entries), ArchiveReadStatus::Ok) << size;
  }
}

TEST(ArchiveFormat, EntriesOutsideTheDataAreLeftOut) {
  const std::vector<uint8_t> good = Write(kTwo);
  const size_t trailerAt = good.size() - 24;
  const size_t dirAt = U32(good, trailerAt + 8);
  std::vector<ArchiveEntryInfo> entries;

  // Packed data running into the trailer, or offsets that wrap.
  for (auto [offset, size] : {std::pair<uint32_t, uint32_t>{128, uint32_t(trailerAt - 127)},
                              {uint32_t(trailerAt), 1}, {0xFFFFFFF0u, 0x20}, {128, 0xFFFFFFFFu}}) {
    std::vector<uint8_t> archive = good;
    SetU32(archive, dirAt, offset);
    SetU32(archive, dirAt + 4, size);
    Reseal(archive);
    ASSERT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Bin\\App.exe");
  }

  // Packed data ending right before the trailer is fine.
  std::vector<uint8_t> archive = good;
  SetU32(archive, dirAt + 4, uint32_t(trailerAt - 128));
  Reseal(archive);
  ASSERT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
  EXPECT_EQ(entries.size(), 2u);
}

TEST(ArchiveFormat, EntriesCutShortAreLeftOut) {
  const std::vector<uint8_t> good = Write(kTwo);
  const size_t trailerAt = good.size() - 24;
  const size_t dirAt = U32(good, trailerAt + 8);
  std::vector<ArchiveEntryInfo> entries;

  // More entries announced than stored: the reader runs into the trailer
  // and stops at the first entry that does not fit.
  std::vector<uint8_t> archive = good;
  SetU32(archive, trailerAt + 12, 1000000);
  Reseal(archive);
  ASSERT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
  EXPECT_EQ(entries.size(), 2u);

  // The second name's length runs past the end of the data.
  archive = good;
  archive[dirAt + 27 + 16] = 255;
  Reseal(archive);
  ASSERT_EQ(Read(archive, entries), ArchiveReadStatus::Ok);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "setup.dat");

  // A directory starting beyond the data cannot be reached.
  archive = good;
  SetU32(archive, trailerAt + 8, uint32_t(good.size() + 1));
  Reseal(archive);
  EXPECT_EQ(Read(archive, entries), ArchiveReadStatus::DirectoryUnreachable);
  EXPECT_TRUE(IsArchiveCorrupted(ArchiveReadStatus::DirectoryUnreachable));
  EXPECT_TRUE(entries.empty());
}
