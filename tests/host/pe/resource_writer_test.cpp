#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>

#include "pe/pe_headers.h"
#include "pe/resource_tree.h"
#include "pe/resource_writer.h"
#include "image_checks.h"
#include "synthetic_image.h"

namespace {

constexpr uint16_t kPayloadId = 24356;

// The payload embedded as the installer's RT_RCDATA resource.
PeStatus EmbedPayload(const std::vector<uint8_t>& image, const std::vector<uint8_t>& payload,
                      std::vector<uint8_t>* out) {
  return EmbedResource(image.data(), image.size(), kResourceTypeRcData, kPayloadId, kLanguageNeutral,
                       payload.data(), payload.size(), out);
}

class ResourceWriter : public ::testing::TestWithParam<bool> {};

TEST_P(ResourceWriter, AddsThePayloadToAnImageWithoutResources) {
  std::vector<uint8_t> image = BuildImage(MakeLayout(GetParam(), false, true));
  ASSERT_FALSE(image.empty());
  auto payload = Pattern(5000, 42);
  std::vector<uint8_t> out;
  ASSERT_EQ(EmbedPayload(image, payload, &out), PeStatus::Ok);
  ExpectConsistent(out);
  PeHeaders before = Headers(image), after = Headers(out);
  EXPECT_EQ(after.is64, GetParam());
  ASSERT_EQ(after.sections.size(), before.sections.size() + 1);
  EXPECT_EQ(std::string(after.sections.back().name, 5), ".rsrc");
  EXPECT_EQ(after.sizeOfInitializedData, before.sizeOfInitializedData + after.sections.back().sizeOfRawData);
  // Everything before the new section is untouched apart from the header fields.
  EXPECT_TRUE(std::equal(image.begin() + before.sizeOfHeaders, image.end(), out.begin() + before.sizeOfHeaders));

  MemorySource source(out.data(), out.size());
  uint64_t offset = 0;
  uint32_t size = 0;
  ASSERT_EQ(LocateResource(source, kResourceTypeRcData, kPayloadId, kLanguageNeutral, &offset, &size), PeStatus::Ok);
  ASSERT_EQ(size, payload.size());
  EXPECT_TRUE(std::equal(payload.begin(), payload.end(), out.begin() + long(offset)));
}

TEST_P(ResourceWriter, KeepsExistingResourcesAndReplacesAnEarlierPayload) {
  for (bool last : {true, false}) {
    SCOPED_TRACE(last ? "resource section last" : "resource section followed by .reloc");
    SyntheticImage layout = MakeLayout(GetParam(), true, last);
    std::vector<uint8_t> image = BuildImage(layout);
    auto first = Pattern(70000, 1);
    auto second = Pattern(123, 2);
    std::vector<uint8_t> once, twice;
    ASSERT_EQ(EmbedPayload(image, first, &once), PeStatus::Ok);
    ASSERT_EQ(EmbedPayload(once, second, &twice), PeStatus::Ok);
    ExpectConsistent(once);
    ExpectConsistent(twice);

    ResourceTree expected = ExistingResources();
    expected.Set(kResourceTypeRcData, kPayloadId, kLanguageNeutral, second.data(), second.size());
    ExpectSameLeaves(expected, Tree(twice));
    EXPECT_EQ(Tree(twice).LeafCount(), ExistingResources().LeafCount() + 1);

    // The resource section is rebuilt where it is, with the relocations
    // moved behind it: the old resources are not carried twice.
    EXPECT_EQ(Headers(once).sections.size(), layout.sections.size());
    EXPECT_EQ(Headers(twice).sections.size(), layout.sections.size());
    EXPECT_LT(twice.size(), once.size());
    // At most a page of padding puts the section on a page boundary of the
    // file, where a loader can map it instead of reading it in.
    EXPECT_LT(twice.size(), image.size() + 0x400 + 4096);
    for (const std::vector<uint8_t>* out : {&once, &twice}) {
      PeHeaders headers = Headers(*out);
      int index = headers.SectionOf(headers.Directory(kDirectoryResource).rva);
      ASSERT_GE(index, 0);
      EXPECT_EQ(headers.sections[size_t(index)].pointerToRawData % 4096, 0u);
    }
  }
}

TEST_P(ResourceWriter, MovesTheRelocationsBehindTheRebuiltResources) {
  SyntheticImage layout = MakeLayout(GetParam(), true, false);
  std::vector<uint8_t> image = BuildImage(layout);
  PeHeaders before = Headers(image);
  auto payload = Pattern(0x5432, 8);
  std::vector<uint8_t> out;
  ASSERT_EQ(EmbedPayload(image, payload, &out), PeStatus::Ok);
  ExpectConsistent(out);
  PeHeaders after = Headers(out);
  const PeSection& oldRelocations = before.sections.back();
  const PeSection& rsrc = after.sections[size_t(layout.resourceSection)];
  const PeSection& relocations = after.sections.back();
  EXPECT_EQ(std::string(relocations.name, 6), ".reloc");
  EXPECT_EQ(rsrc.virtualAddress, before.sections[size_t(layout.resourceSection)].virtualAddress);
  EXPECT_EQ(relocations.virtualAddress, (rsrc.virtualAddress + rsrc.virtualSize + 0xFFF) / 0x1000 * 0x1000);
  EXPECT_EQ(relocations.pointerToRawData, rsrc.pointerToRawData + rsrc.sizeOfRawData);
  EXPECT_EQ(relocations.characteristics, oldRelocations.characteristics);
  PeDirectory directory = after.Directory(kDirectoryBaseRelocation);
  EXPECT_EQ(directory.rva, relocations.virtualAddress);
  EXPECT_EQ(directory.size, before.Directory(kDirectoryBaseRelocation).size);
  EXPECT_TRUE(std::equal(image.begin() + oldRelocations.pointerToRawData,
                         image.begin() + oldRelocations.pointerToRawData + oldRelocations.sizeOfRawData,
                         out.begin() + relocations.pointerToRawData));
  EXPECT_EQ(out.size(), uint64_t(relocations.pointerToRawData) + relocations.sizeOfRawData);
  // The sections before the resources keep every byte.
  uint32_t rsrcRaw = before.sections[size_t(layout.resourceSection)].pointerToRawData;
  EXPECT_TRUE(std::equal(image.begin() + before.sizeOfHeaders, image.begin() + rsrcRaw,
                         out.begin() + before.sizeOfHeaders));
}

// Layouts where moving the relocations could break the image: a new
// section is appended instead and the old resources stay where they are.
TEST_P(ResourceWriter, AppendsWhenTheSectionsBehindCannotMove) {
  struct Case {
    const char* what;
    std::function<void(SyntheticImage&)> layout;
    std::function<void(std::vector<uint8_t>&, const PeHeaders&)> patch;
  };
  const Case cases[] = {
      {"another section behind the relocations",
       [](SyntheticImage& l) { l.sections.push_back({".other", Pattern(0x20, 4), 0x40000040}); }, nullptr},
      {"a section behind the resources that is not the relocations",
       [](SyntheticImage& l) { l.relocationSection = -1; }, nullptr},
      {"a relocation that patches the resource section",
       [](SyntheticImage& l) { l.sections.back().data = RelocationBlock(0x3000, {0x8}); }, nullptr},
      {"a malformed relocation block",
       [](SyntheticImage& l) { StoreU32(&l.sections.back().data[4], 0x1000); }, nullptr},
      {"the debug directory inside the resource section", nullptr,
       [](std::vector<uint8_t>& image, const PeHeaders& h) {
         StoreU32(&image[h.DirectoryEntryOffset(6)], h.sections[2].virtualAddress + 0x10);
         StoreU32(&image[h.DirectoryEntryOffset(6) + 4], 0x1C);
       }},
      {"the import table inside the relocation section", nullptr,
       [](std::vector<uint8_t>& image, const PeHeaders& h) {
         StoreU32(&image[h.DirectoryEntryOffset(1)], h.sections[3].virtualAddress + 0x4);
         StoreU32(&image[h.DirectoryEntryOffset(1) + 4], 0x4);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SyntheticImage layout = MakeLayout(GetParam(), true, false);
    if (c.layout) c.layout(layout);
    std::vector<uint8_t> image = BuildImage(layout);
    ASSERT_FALSE(image.empty());
    PeHeaders before = Headers(image);
    if (c.patch) c.patch(image, before);
    auto payload = Pattern(300, 6);
    std::vector<uint8_t> out;
    ASSERT_EQ(EmbedPayload(image, payload, &out), PeStatus::Ok);
    ExpectConsistent(out);
    PeHeaders after = Headers(out);
    ASSERT_EQ(after.sections.size(), before.sections.size() + 1);
    for (size_t i = 0; i < before.sections.size(); ++i) {
      EXPECT_EQ(after.sections[i].virtualAddress, before.sections[i].virtualAddress);
      EXPECT_EQ(after.sections[i].pointerToRawData, before.sections[i].pointerToRawData);
    }
    EXPECT_EQ(after.Directory(kDirectoryBaseRelocation).rva, before.Directory(kDirectoryBaseRelocation).rva);
    EXPECT_TRUE(std::equal(image.begin() + before.sizeOfHeaders, image.end(), out.begin() + before.sizeOfHeaders));
  }
}

TEST_P(ResourceWriter, OtherLanguageVersionsOfThePayloadGo) {
  SyntheticImage layout = MakeLayout(GetParam(), true, true);
  auto stale = Pattern(64, 9);
  layout.resources.Set(kResourceTypeRcData, kPayloadId, 1033, stale.data(), stale.size());
  layout.resources.Set(kResourceTypeRcData, 7, 1033, stale.data(), stale.size());
  std::vector<uint8_t> image = BuildImage(layout);
  auto payload = Pattern(100, 1);
  std::vector<uint8_t> out;
  ASSERT_EQ(EmbedPayload(image, payload, &out), PeStatus::Ok);
  ResourceTree tree = Tree(out);
  EXPECT_EQ(tree.Find(kResourceTypeRcData, kPayloadId, 1033), nullptr);
  ASSERT_NE(tree.Find(kResourceTypeRcData, kPayloadId, kLanguageNeutral), nullptr);
  EXPECT_NE(tree.Find(kResourceTypeRcData, 7, 1033), nullptr) << "other RCDATA stays";
  EXPECT_EQ(tree.LeafCount(), ExistingResources().LeafCount() + 2);
}

TEST_P(ResourceWriter, MovesTrailingSymbolTableBehindTheNewSection) {
  std::vector<uint8_t> image = BuildImage(MakeLayout(GetParam(), true, false));
  PeHeaders h = Headers(image);
  // Two symbols and a string table of 9 bytes.
  std::vector<uint8_t> symbols = Pattern(2 * 18, 77);
  std::vector<uint8_t> strings = {9, 0, 0, 0, 'a', 'b', 'c', 'd', 0};
  uint32_t at = uint32_t(image.size());
  image.insert(image.end(), symbols.begin(), symbols.end());
  image.insert(image.end(), strings.begin(), strings.end());
  StoreU32(&image[h.PointerToSymbolTableOffset()], at);
  StoreU32(&image[h.PointerToSymbolTableOffset() + 4], 2);

  auto payload = Pattern(999, 4);
  std::vector<uint8_t> out;
  ASSERT_EQ(EmbedPayload(image, payload, &out), PeStatus::Ok);
  ExpectConsistent(out);
  PeHeaders after = Headers(out);
  EXPECT_EQ(after.pointerToSymbolTable, after.RawEnd());
  ASSERT_EQ(out.size(), after.RawEnd() + symbols.size() + strings.size());
  EXPECT_TRUE(std::equal(symbols.begin(), symbols.end(), out.begin() + long(after.pointerToSymbolTable)));
}

TEST_P(ResourceWriter, RefusesWhatItCannotWriteSafely) {
  auto payload = Pattern(10, 1);
  auto embed = [&](const std::vector<uint8_t>& image) {
    std::vector<uint8_t> out{1};
    PeStatus status = EmbedPayload(image, payload, &out);
    if (status != PeStatus::Ok) {
      EXPECT_TRUE(out.empty());
    }
    return status;
  };
  SyntheticImage signedLayout = MakeLayout(GetParam(), true, true);
  signedLayout.securityRva = 0x5000;
  signedLayout.securitySize = 0x100;
  EXPECT_EQ(embed(BuildImage(signedLayout)), PeStatus::Signed);

  std::vector<uint8_t> overlay = BuildImage(MakeLayout(GetParam(), true, true));
  overlay.push_back(1);
  EXPECT_EQ(embed(overlay), PeStatus::Overlay);
  overlay.back() = 0;
  EXPECT_EQ(embed(overlay), PeStatus::Ok) << "zero padding is dropped";

  // A section table that fills the headers leaves no room for another entry.
  SyntheticImage full = MakeLayout(GetParam(), false, true);
  full.sizeOfHeaders = 0x200;
  while (full.sections.size() < (0x200 - 0x80 - 24 - (GetParam() ? 240u : 224u)) / 40) {
    full.sections.push_back({".x", Pattern(16, 1), 0x40000040});
  }
  EXPECT_EQ(embed(BuildImage(full)), PeStatus::Unsupported);

  EXPECT_EQ(embed({}), PeStatus::NotPe);
  EXPECT_EQ(embed(Pattern(4096, 0)), PeStatus::NotPe);
}

TEST_P(ResourceWriter, TruncatedOrDamagedHeadersNeverPassOrCrash) {
  std::vector<uint8_t> image = BuildImage(MakeLayout(GetParam(), true, true));
  auto payload = Pattern(10, 1);
  std::vector<uint8_t> out;
  PeHeaders h = Headers(image);
  uint32_t rsrcEnd = h.sections.back().pointerToRawData + 0x40;
  for (size_t cut = 0; cut < rsrcEnd; cut += (cut < 0x300 ? 1 : 13)) {
    std::vector<uint8_t> cutImage(image.begin(), image.begin() + long(cut));
    EXPECT_NE(EmbedPayload(cutImage, payload, &out), PeStatus::Ok) << "cut at " << cut;
  }
  // Every single byte of the resource directory set to 0xFF: no crash, and
  // success only with a consistent result.
  uint32_t dir = h.sections.back().pointerToRawData;
  for (uint32_t i = 0; i < 0x100; ++i) {
    std::vector<uint8_t> damaged = image;
    damaged[dir + i] = 0xFF;
    if (EmbedPayload(damaged, payload, &out) == PeStatus::Ok) {
      MemorySource source(out.data(), out.size());
      uint64_t offset = 0;
      uint32_t size = 0;
      EXPECT_EQ(LocateResource(source, kResourceTypeRcData, kPayloadId, kLanguageNeutral, &offset, &size), PeStatus::Ok);
    }
  }
}

TEST_P(ResourceWriter, RefusesADirectoryThatRepeatsItself) {
  // 4000 types that all lead to one directory of 4000 names, each leading
  // to one empty language directory: 16 million entries to walk.
  const uint32_t n = 4000;
  std::vector<uint8_t> dir(2 * (16 + 8 * n) + 16, 0);
  auto table = [&](uint32_t at, uint32_t target) {
    StoreU16(&dir[at + 14], uint16_t(n));
    for (uint32_t i = 0; i < n; ++i) {
      StoreU32(&dir[at + 16 + 8 * i], i + 1);
      StoreU32(&dir[at + 20 + 8 * i], target | 0x80000000u);
    }
  };
  uint32_t names = 16 + 8 * n, languages = 2 * (16 + 8 * n);
  table(0, names);
  table(names, languages);
  SyntheticImage layout = MakeLayout(GetParam(), true, true);
  layout.resourcesRaw = true;
  layout.sections[size_t(layout.resourceSection)].data = dir;
  std::vector<uint8_t> image = BuildImage(layout);
  MemorySource source(image.data(), image.size());
  PeHeaders h = Headers(image);
  ResourceTree tree;
  EXPECT_EQ(ReadResourceTree(source, h, false, &tree), PeStatus::Corrupt);
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, ResourceWriter, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Pe32Plus" : "Pe32"; });

TEST(PeChecksum, SkipsTheChecksumFieldAndAddsTheLength) {
  std::vector<uint8_t> bytes = {0x01, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0xFF, 0xFF, 0x05};
  // Words 0x0001, (skipped), 0xFFFF, then the odd byte 0x05: 0x10005 folds to 6.
  EXPECT_EQ(ComputePeChecksum(bytes.data(), bytes.size(), 2), 6u + 9u);
  EXPECT_EQ(ComputePeChecksum(bytes.data(), 0, 2), 0u);
}

TEST(ResourceTree, NumberedEntriesStayInAscendingOrderBehindNamedOnes) {
  ResourceTree tree = ExistingResources();
  uint8_t b = 1;
  tree.Set(10, 24356, 0, &b, 1);
  tree.Set(1, 7, 0, &b, 1);
  ASSERT_EQ(tree.types.size(), 6u);
  EXPECT_TRUE(tree.types[0].type.isName);
  std::vector<uint16_t> ids;
  for (size_t i = 1; i < tree.types.size(); ++i) ids.push_back(tree.types[i].type.id);
  EXPECT_EQ(ids, (std::vector<uint16_t>{1, 3, 5, 10, 24}));
}

}  // namespace
