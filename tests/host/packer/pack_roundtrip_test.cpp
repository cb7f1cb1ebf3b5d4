#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "packer/archive_inspect.h"
#include "packer/container_members.h"
#include "packer/pack_installer.h"
#include "packer/stub_methods.h"
#include "pe/resource_tree.h"
#include "resources/resource_ids.h"
#include "synthetic_image.h"
#include "machine_code.h"

namespace {

std::vector<uint8_t> Stub() {
  SyntheticImage layout;
  layout.is64 = false;
  layout.sections.push_back({".text", std::vector<uint8_t>(0x300, 0xCC), 0x60000020});
  layout.resourceSection = 1;
  layout.sections.push_back({".rsrc", {}, 0x40000040});
  uint8_t manifest[] = "<assembly/>";
  layout.resources.Set(24, 1, 1033, manifest, sizeof manifest);
  return BuildImage(layout);
}

std::vector<PackSource> Sources(size_t bigSize) {
  std::mt19937 random(7);
  std::vector<PackSource> sources;
  sources.push_back({"setup.dat", {'[', 'P', ']', '\r', '\n'}});
  sources.push_back({"empty.txt", {}});
  PackSource text{"Docs\\read me.txt", {}};
  for (int i = 0; i < 2000; ++i) text.data.push_back(uint8_t("hello world\n"[i % 12]));
  sources.push_back(text);
  PackSource noise{"noise.bin", std::vector<uint8_t>(bigSize)};
  for (uint8_t& b : noise.data) b = uint8_t(random());
  sources.push_back(noise);
  sources.push_back({"caf\xE9.dll", std::vector<uint8_t>(777, 0x41)});
  return sources;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& stub, const std::vector<PackSource>& sources, unsigned threads) {
  PackSettings settings;
  settings.threads = threads;
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(PackInstaller(stub.data(), stub.size(), sources, settings, &out, &error)) << error;
  return out;
}

// The member decoded, every check made.
std::vector<uint8_t> Decoded(const ByteSource& file, const ArchiveLocation& location, const ArchiveEntryInfo& entry,
                             SolidBlockCache* cache = nullptr) {
  std::vector<uint8_t> out;
  EXPECT_EQ(DecodeMember(file, location, entry,
                         [&](const uint8_t* d, size_t n) {
                           out.insert(out.end(), d, d + n);
                           return true;
                         },
                         cache),
            MemberStatus::Ok)
      << entry.name;
  return out;
}

TEST(PackInstaller, EveryMemberComesBackByteForByte) {
  std::vector<PackSource> sources = Sources(50000);
  std::vector<uint8_t> installer = Pack(Stub(), sources, 3);
  MemorySource file(installer.data(), installer.size());
  ArchiveLocation location;
  std::string error;
  ASSERT_TRUE(LocateArchive(file, &location, &error)) << error;
  EXPECT_FALSE(location.bare);
  EXPECT_TRUE(VerifyArchive(file, location).empty());

  ArchiveListing listing;
  ASSERT_TRUE(ReadArchiveListing(file, location, &listing));
  EXPECT_TRUE(listing.faults.empty());
  ASSERT_EQ(listing.entries.size(), sources.size());
  for (size_t i = 0; i < sources.size(); ++i) {
    const ArchiveEntryInfo& entry = listing.entries[i];
    EXPECT_EQ(entry.name, sources[i].name) << "directory order is source order";
    EXPECT_EQ(entry.unpackedSize, sources[i].data.size());
    EXPECT_EQ(Decoded(file, location, entry), sources[i].data) << entry.name;
  }
  // The archive also passes the installer's own reader.
  std::vector<uint8_t> archive(installer.begin() + long(location.offset),
                               installer.begin() + long(location.offset + location.size));
  std::vector<ArchiveEntryInfo> entries;
  EXPECT_EQ(ReadArchiveDirectory(archive.data(), archive.size(), entries), ArchiveReadStatus::Ok);
  EXPECT_EQ(entries.size(), sources.size());
}

TEST(PackInstaller, IncompressibleMembersAreStored) {
  // The noise and the tiny script gain nothing from LZMA; text does.
  std::vector<uint8_t> installer = Pack(Stub(), Sources(50000), 2);
  MemorySource file(installer.data(), installer.size());
  ArchiveLocation location;
  std::string error;
  ASSERT_TRUE(LocateArchive(file, &location, &error)) << error;
  ArchiveListing listing;
  ASSERT_TRUE(ReadArchiveListing(file, location, &listing));
  std::string methods;
  for (const ArchiveEntryInfo& entry : listing.entries) {
    methods += std::string(MethodName(MethodOfMember(file, location, entry))) + " ";
  }
  EXPECT_EQ(methods, "stored lzma lzma stored lzma ");
  EXPECT_EQ(listing.entries[3].packedSize, 50000u + kStoredHeaderSize);
}

TEST(PackInstaller, IdenticalMembersAreStoredOnce) {
  // Two copies each of a text and of noise (stored), a member of the same
  // size with other bytes, and two empty members, which share nothing.
  std::vector<PackSource> sources = Sources(30000);
  sources.push_back({"Copy\\read me.txt", sources[2].data});
  sources.push_back({"Copy\\noise.bin", sources[3].data});
  PackSource other{"other.bin", sources[3].data};
  other.data[29999] ^= 1;
  sources.push_back(other);
  sources.push_back({"empty2.txt", {}});
  for (unsigned threads : {1u, 3u}) {
    const std::vector<uint8_t> installer = Pack(Stub(), sources, threads);
    MemorySource file(installer.data(), installer.size());
    ArchiveLocation location;
    std::string error;
    ASSERT_TRUE(LocateArchive(file, &location, &error)) << error;
    EXPECT_TRUE(VerifyArchive(file, location).empty());
    ArchiveListing listing;
    ASSERT_TRUE(ReadArchiveListing(file, location, &listing));
    ASSERT_EQ(listing.entries.size(), sources.size());
    const std::vector<ArchiveEntryInfo>& e = listing.entries;
    EXPECT_EQ(e[5].dataOffset, e[2].dataOffset);
    EXPECT_EQ(e[5].packedSize, e[2].packedSize);
    EXPECT_EQ(e[6].dataOffset, e[3].dataOffset);
    EXPECT_NE(e[7].dataOffset, e[3].dataOffset);
    uint64_t own = 0;
    for (size_t i : {0, 1, 2, 3, 4, 7, 8}) own += e[i].packedSize;
    EXPECT_EQ(e.back().dataOffset + e.back().packedSize, kArchiveReservedSize + own) << "shared data written once";
    for (size_t i = 0; i < sources.size(); ++i) {
      EXPECT_EQ(Decoded(file, location, e[i]), sources[i].data) << e[i].name;
    }
  }
}

TEST(PackInstaller, BranchFilterOnlyForMachineCodeAndStubsThatReadIt) {
  std::vector<uint8_t> plainStub = Stub();
  EXPECT_FALSE(MethodsOfStub(plainStub.data(), plainStub.size()).x86Lzma);
  SyntheticImage layout;
  layout.sections.push_back({".text", std::vector<uint8_t>(0x300, 0xCC), 0x60000020});
  layout.resourceSection = 1;
  layout.sections.push_back({".rsrc", {}, 0x40000040});
  const char names[] = "lzma stored lzma-x86";
  layout.resources.Set(kResourceTypeRcData, IDR_MEMBER_METHODS, 1033, reinterpret_cast<const uint8_t*>(names),
                       sizeof names - 1);
  const std::vector<uint8_t> stub = BuildImage(layout);
  ASSERT_TRUE(MethodsOfStub(stub.data(), stub.size()).x86Lzma);

  // Machine code after the usual members.
  const PackSource code{"app.exe", MachineCode(300000, 9)};
  std::vector<PackSource> sources = Sources(30000);
  sources.push_back(code);
  PackSettings settings;
  settings.lzma.x86Filter = true;
  std::vector<uint8_t> installer;
  std::string error;
  ASSERT_TRUE(PackInstaller(stub.data(), stub.size(), sources, settings, &installer, &error)) << error;
  MemorySource file(installer.data(), installer.size());
  ArchiveLocation location;
  ASSERT_TRUE(LocateArchive(file, &location, &error)) << error;
  EXPECT_TRUE(VerifyArchive(file, location).empty());
  ArchiveListing listing;
  ASSERT_TRUE(ReadArchiveListing(file, location, &listing));
  std::string methods;
  for (const ArchiveEntryInfo& entry : listing.entries) {
    methods += std::string(MethodName(MethodOfMember(file, location, entry))) + " ";
  }
  EXPECT_EQ(methods, "stored lzma lzma stored lzma lzma-x86 ");
  EXPECT_TRUE(Decoded(file, location, listing.entries.back()) == code.data);
}

TEST(PackInstaller, SmallMembersShareSolidBlocks) {
  // Forty pages of one text with a few changes each (more than one
  // block's worth), among members that stay on their own, and after every
  // fourth page a small program, which goes into a block of programs.
  std::vector<PackSource> sources = Sources(30000);
  std::mt19937 random(4);
  const char* words[] = {"install ", "folder ", "program ", "version ", "shortcut ", "registry "};
  std::vector<uint8_t> page;
  while (page.size() < 120000) {
    const char* word = words[random() % 6];
    page.insert(page.end(), word, word + strlen(word));
  }
  const std::vector<uint8_t> program = MachineCode(50000, 3);
  for (int i = 0; i < 40; ++i) {
    PackSource text{"Docs\\page" + std::to_string(i) + ".txt", page};
    for (int k = 0; k < 20; ++k) text.data[random() % text.data.size()] = uint8_t('A' + i % 26);
    sources.push_back(std::move(text));
    if (i % 4 == 3) {
      PackSource code{"Bin\\tool" + std::to_string(i) + ".dll", program};
      code.data[random() % code.data.size()] ^= uint8_t(i);
      sources.push_back(std::move(code));
    }
  }
  sources.push_back({"Copy\\page3.txt", sources[8].data});
  auto pack = [&](bool solid, unsigned threads) {
    PackSettings settings;
    settings.threads = threads;
    settings.solidBlocks = solid;
    std::vector<uint8_t> archive;
    std::string error;
    EXPECT_TRUE(PackArchive(sources, settings, &archive, &error)) << error;
    return archive;
  };
  const std::vector<uint8_t> archive = pack(true, 3);
  EXPECT_EQ(archive, pack(true, 1));
  EXPECT_LT(archive.size() * 4, pack(false, 2).size()) << "the pages find each other";

  MemorySource file(archive.data(), archive.size());
  ArchiveLocation location;
  std::string error;
  ASSERT_TRUE(LocateArchive(file, &location, &error)) << error;
  EXPECT_TRUE(VerifyArchive(file, location).empty());
  ArchiveListing listing;
  ASSERT_TRUE(ReadArchiveListing(file, location, &listing));
  std::string methods;
  std::set<uint32_t> blocks, textBlocks, codeBlocks;
  for (size_t i = 0; i < 5; ++i) methods += std::string(MethodName(MethodOfMember(file, location, listing.entries[i]))) + " ";
  // The text of Docs and the 777 bytes of one letter share a block with
  // the pages; the five-byte script does not compress, the empty member
  // has no data.
  EXPECT_EQ(methods, "stored lzma solid stored solid ");
  for (const ArchiveEntryInfo& entry : listing.entries) {
    if (MethodOfMember(file, location, entry) != MemberMethod::Solid) continue;
    uint8_t record[kSolidReferenceSize];
    ASSERT_TRUE(file.ReadAt(location.offset + entry.dataOffset, record, sizeof record));
    SolidReference where;
    ASSERT_TRUE(ReadSolidReference(record, sizeof record, &where));
    blocks.insert(where.blockOffset);
    (entry.name.rfind("Bin\\", 0) == 0 ? codeBlocks : textBlocks)
        .insert(where.blockOffset);
  }
  EXPECT_EQ(textBlocks.size(), 2u) << "4.8 MB of text in blocks of up to 4 MiB";
  EXPECT_EQ(codeBlocks.size(), 1u);
  EXPECT_EQ(blocks.size(), 3u) << "no block mixes text and programs";
  // Each member back, with the cache and without, in order and out of it.
  SolidBlockCache cache;
  for (bool cached : {true, false}) {
    for (size_t k = 0; k < sources.size(); ++k) {
      const size_t i = cached ? k : (k * 7) % sources.size();
      EXPECT_TRUE(Decoded(file, location, listing.entries[i], cached ? &cache : nullptr) == sources[i].data)
          << listing.entries[i].name;
    }
  }

  // A damaged block fails every member in it, and says so.
  std::vector<uint8_t> damaged = archive;
  damaged[*blocks.begin() + 40] ^= 0x10;
  MemorySource damagedFile(damaged.data(), damaged.size());
  const std::vector<std::string> faults = VerifyArchive(damagedFile, location);
  ASSERT_GE(faults.size(), 3u);
  EXPECT_NE(faults[1].find("its solid block lies outside the archive, is damaged or does not hold it"),
            std::string::npos)
      << faults[1];
}

TEST(PackInstaller, VerifyHoldsStoredMembersToTheirStatedSize) {
  std::vector<uint8_t> good(100, 7);
  good[0] = 1;
  std::vector<uint8_t> packed;
  ASSERT_TRUE(StoreMember(good.data(), good.size(), packed));
  std::vector<uint8_t> longer = packed;
  longer.push_back(0);
  std::vector<uint8_t> highHalf = packed;
  highHalf[10] = 1;
  const struct {
    std::vector<uint8_t> packed;
    const char* fault;  // null: none
  } cases[] = {
      {packed, nullptr},
      {longer, "member 1 'm': stored data is not of the size its header states"},
      {highHalf, "member 1 'm': stored header refused"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> archive;
    ASSERT_EQ(WriteArchive({{"m", c.packed, 100}}, archive), ArchiveWriteStatus::Ok);
    MemorySource file(archive.data(), archive.size());
    ArchiveLocation location;
    std::string error;
    ASSERT_TRUE(LocateArchive(file, &location, &error));
    const std::vector<std::string> faults = VerifyArchive(file, location);
    if (c.fault == nullptr) {
      EXPECT_TRUE(faults.empty());
    } else {
      ASSERT_EQ(faults.size(), 1u);
      EXPECT_EQ(faults[0], c.fault);
    }
  }
}

TEST(PackInstaller, SameBytesWhateverTheThreadCount) {
  std::vector<uint8_t> stub = Stub();
  std::vector<PackSource> sources = Sources(200000);
  std::vector<uint8_t> one = Pack(stub, sources, 1);
  EXPECT_EQ(one, Pack(stub, sources, 1));
  EXPECT_EQ(one, Pack(stub, sources, 2));
  EXPECT_EQ(one, Pack(stub, sources, 8));
}

TEST(PackInstaller, VerifyCatchesEverySingleByteChange) {
  std::vector<PackSource> sources = Sources(40);
  std::vector<uint8_t> installer = Pack(Stub(), sources, 1);
  MemorySource clean(installer.data(), installer.size());
  ArchiveLocation location;
  std::string error;
  ASSERT_TRUE(LocateArchive(clean, &location, &error));
  for (uint64_t i = 0; i < location.size; ++i) {
    for (uint8_t flip : {uint8_t(0x01), uint8_t(0x80)}) {
      std::vector<uint8_t> damaged = installer;
      damaged[location.offset + i] ^= flip;
      MemorySource file(damaged.data(), damaged.size());
      EXPECT_FALSE(VerifyArchive(file, location).empty()) << "byte " << i << " xor " << int(flip);
    }
  }
}

TEST(PackInstaller, VerifyNamesEachFault) {
  std::vector<PackSource> sources = Sources(40);
  std::vector<uint8_t> installer = Pack(Stub(), sources, 1);
  MemorySource clean(installer.data(), installer.size());
  ArchiveLocation location;
  std::string error;
  ASSERT_TRUE(LocateArchive(clean, &location, &error));
  ArchiveListing listing;
  ASSERT_TRUE(ReadArchiveListing(clean, location, &listing));

  // A packed byte of the third member: its packed sum and the file checksum fail.
  std::vector<uint8_t> damaged = installer;
  damaged[location.offset + listing.entries[2].dataOffset + 20] ^= 0x10;
  MemorySource file(damaged.data(), damaged.size());
  std::vector<std::string> faults = VerifyArchive(file, location);
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_NE(faults[0].find("file checksum"), std::string::npos);
  EXPECT_NE(faults[1].find("member 3 'Docs\\read me.txt': packed sum"), std::string::npos);

  // The last magic byte: the archive is not read further.
  damaged = installer;
  damaged[location.offset + location.size - 1] ^= 0xFF;
  MemorySource noMagic(damaged.data(), damaged.size());
  faults = VerifyArchive(noMagic, location);
  ASSERT_FALSE(faults.empty());
  EXPECT_NE(faults[0].find("magic 2"), std::string::npos);
}

TEST(PackInstaller, DictionaryFitsTheMember) {
  const uint32_t eight = 8u << 20;
  EXPECT_EQ(DictionaryFor(0, eight), 4096u);
  EXPECT_EQ(DictionaryFor(4096, eight), 4096u);
  EXPECT_EQ(DictionaryFor(4097, eight), 6144u);
  EXPECT_EQ(DictionaryFor(6145, eight), 8192u);
  EXPECT_EQ(DictionaryFor(3u << 20, eight), 3u << 20);
  EXPECT_EQ(DictionaryFor((3u << 20) + 1, eight), 4u << 20);
  EXPECT_EQ(DictionaryFor(100u << 20, eight), eight);
  EXPECT_EQ(DictionaryFor(100u << 20, 1u << 16), 1u << 16);
  // The header states it.
  std::vector<PackedMember> members;
  std::string error;
  PackSettings settings;
  ASSERT_TRUE(CompressMembers({{"a", std::vector<uint8_t>(5000, 1)}}, settings, &members, &error));
  ASSERT_GE(members[0].packed.size(), 13u);
  EXPECT_EQ(LoadU32(&members[0].packed[1]), 6144u);
  EXPECT_EQ(members[0].packed[0], 0x5D);
}

TEST(PackInstaller, RefusesBadNamesAndStubs) {
  std::vector<uint8_t> stub = Stub();
  PackSettings settings;
  std::vector<uint8_t> out;
  std::string error;
  std::vector<PackSource> longName = {{std::string(255, 'a'), {1}}};
  EXPECT_FALSE(PackInstaller(stub.data(), stub.size(), longName, settings, &out, &error));
  std::vector<PackSource> limit = {{std::string(254, 'a'), {1}}};
  EXPECT_TRUE(PackInstaller(stub.data(), stub.size(), limit, settings, &out, &error)) << error;
  std::vector<uint8_t> notPe(1000, 0);
  EXPECT_FALSE(PackInstaller(notPe.data(), notPe.size(), limit, settings, &out, &error));
  EXPECT_NE(error.find("not a Windows executable"), std::string::npos);
  EXPECT_TRUE(out.empty());
}

}  // namespace

namespace {

TEST(ContainerMembers, OnlyPackedInstallersHoldAPayload) {
  std::vector<uint8_t> stub = Stub();
  std::vector<uint8_t> installer = Pack(stub, Sources(100), 1);
  std::vector<uint8_t> cut(installer.begin(), installer.begin() + long(installer.size() / 2));
  // A stub that carries some other RT_RCDATA resource is still no installer.
  SyntheticImage other;
  other.sections.push_back({".text", std::vector<uint8_t>(0x100, 0xCC), 0x60000020});
  other.resourceSection = 1;
  other.sections.push_back({".rsrc", {}, 0x40000040});
  uint8_t byte = 1;
  other.resources.Set(kResourceTypeRcData, 100, 0, &byte, 1);
  std::string text = "MZ but not an executable";
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool installer;
  } cases[] = {
      {"packed installer", installer, true},
      {"bare stub", stub, false},
      {"stub with another RCDATA", BuildImage(other), false},
      {"installer cut in half", cut, false},
      {"text", std::vector<uint8_t>(text.begin(), text.end()), false},
      {"empty file", {}, false},
  };
  for (const auto& c : cases) {
    MemorySource source(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(HoldsPayload(source), c.installer) << c.what;
  }
}

TEST(ContainerMembers, InstallersWithoutA64BitTwinAreNamed) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(SingleBitnessMembers({"setup.dat", "App.exe", "Runtime.exe"}), Names{}) << "no 64-bit variants";
  EXPECT_EQ(SingleBitnessMembers({"setup.dat", "App.exe", "app__PLI_WIN64.EXE", "Runtime.exe", "Tool",
                                  "Tool__PLI_WIN64", "setup.bmp"}),
            (Names{"Runtime.exe"}));
  EXPECT_EQ(SingleBitnessMembers({"Only__PLI_WIN64.exe", "a.b\\App"}), Names{"a.b\\App"});
  EXPECT_EQ(SingleBitnessMembers({"setup.__PLI_WIN64", "App.exe"}), Names{}) << "setup members never run";
}

TEST(ContainerMembers, SetupNamesAreNeverRun) {
  for (const char* name : {"setup.dat", "SETUP.EXE", "Setup", "inner\\setup.exe", "a/setup.lic"}) {
    EXPECT_TRUE(IsSetupName(name)) << name;
  }
  for (const char* name : {"setup.v2.exe", "App.exe", "mysetup.exe", "setup_x64.exe", "setup\\App.exe"}) {
    EXPECT_FALSE(IsSetupName(name)) << name;
  }
}

}  // namespace
