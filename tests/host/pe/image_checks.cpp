#include "image_checks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pe/resource_tree.h"

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 7);
  return bytes;
}

// Resources like those of the installer: a named type, a string name, a
// dialog in two languages, an icon and a manifest.
ResourceTree ExistingResources() {
  ResourceTree tree;
  auto dialog = Pattern(300, 1);
  tree.Set(5, 101, 1033, dialog.data(), dialog.size());
  tree.Set(5, 101, 1031, dialog.data(), 200);
  auto icon = Pattern(744, 9);
  tree.Set(3, 1, 1033, icon.data(), icon.size());
  auto manifest = Pattern(1001, 3);
  tree.Set(24, 1, 1033, manifest.data(), manifest.size());
  ResourceLanguage leaf;
  leaf.language = ResourceKey::Id(0);
  leaf.data = Pattern(33, 5);
  leaf.codePage = 1252;
  const ResourceKey png{true, 0, u"PNG"}, logo{true, 0, u"LOGO"};
  tree.types.insert(tree.types.begin(), ResourceType{png, {ResourceName{logo, {leaf}}}});
  return tree;
}

// One base relocation block: HIGHLOW fixups at page + each offset, padded
// to a multiple of 4 bytes.
std::vector<uint8_t> RelocationBlock(uint32_t page, std::vector<uint16_t> offsets) {
  if (offsets.size() % 2 != 0) offsets.push_back(0);
  std::vector<uint8_t> block(8 + 2 * offsets.size());
  StoreU32(&block[0], page);
  StoreU32(&block[4], uint32_t(block.size()));
  for (size_t i = 0; i < offsets.size(); ++i) {
    StoreU16(&block[8 + 2 * i], uint16_t(offsets[i] == 0 ? 0 : 0x3000 | offsets[i]));
  }
  return block;
}

SyntheticImage MakeLayout(bool is64, bool withResources, bool resourcesLast) {
  SyntheticImage layout;
  layout.is64 = is64;
  layout.sections.push_back({".text", Pattern(0x345, 0x11), 0x60000020});
  layout.sections.push_back({".data", Pattern(0x80, 0x22), 0xC0000040});
  if (withResources) {
    layout.resourceSection = int(layout.sections.size());
    layout.sections.push_back({".rsrc", {}, 0x40000040});
    layout.resources = ExistingResources();
  }
  if (!resourcesLast) {
    layout.relocationSection = int(layout.sections.size());
    layout.sections.push_back({".reloc", RelocationBlock(0x1000, {0x10, 0x20, 0x30}), 0x42000040});
  }
  return layout;
}

PeHeaders Headers(const std::vector<uint8_t>& image) {
  PeHeaders h;
  MemorySource source(image.data(), image.size());
  EXPECT_EQ(ReadPeHeaders(source, &h), PeStatus::Ok);
  return h;
}

ResourceTree Tree(const std::vector<uint8_t>& image) {
  PeHeaders h = Headers(image);
  MemorySource source(image.data(), image.size());
  ResourceTree tree;
  EXPECT_EQ(ReadResourceTree(source, h, true, &tree), PeStatus::Ok);
  return tree;
}

void ExpectSameLeaves(const ResourceTree& expected, const ResourceTree& actual) {
  ASSERT_EQ(expected.types.size(), actual.types.size());
  for (size_t i = 0; i < expected.types.size(); ++i) {
    const ResourceType& e = expected.types[i];
    const ResourceType& a = actual.types[i];
    EXPECT_TRUE(e.type == a.type);
    ASSERT_EQ(e.names.size(), a.names.size());
    for (size_t j = 0; j < e.names.size(); ++j) {
      EXPECT_TRUE(e.names[j].name == a.names[j].name);
      ASSERT_EQ(e.names[j].languages.size(), a.names[j].languages.size());
      for (size_t k = 0; k < e.names[j].languages.size(); ++k) {
        const ResourceLanguage& el = e.names[j].languages[k];
        const ResourceLanguage& al = a.names[j].languages[k];
        EXPECT_TRUE(el.language == al.language);
        EXPECT_EQ(el.codePage, al.codePage);
        EXPECT_EQ(el.data, al.data);
      }
    }
  }
}

// Layout rules every written image must follow.
void ExpectConsistent(const std::vector<uint8_t>& image) {
  PeHeaders h = Headers(image);
  uint64_t memoryEnd = 0;
  for (const PeSection& s : h.sections) {
    EXPECT_EQ(s.virtualAddress % h.sectionAlignment, 0u);
    EXPECT_EQ(s.pointerToRawData % h.fileAlignment, 0u);
    EXPECT_EQ(s.sizeOfRawData % h.fileAlignment, 0u);
    memoryEnd = std::max<uint64_t>(memoryEnd, s.virtualAddress + s.MemorySize());
  }
  for (size_t i = 1; i < h.sections.size(); ++i) {
    EXPECT_GE(h.sections[i].virtualAddress, h.sections[i - 1].virtualAddress + h.sections[i - 1].MemorySize());
  }
  EXPECT_EQ(h.sizeOfImage, (memoryEnd + h.sectionAlignment - 1) / h.sectionAlignment * h.sectionAlignment);
  EXPECT_EQ(U32At(image, h.CheckSumOffset()), ComputePeChecksum(image.data(), image.size(), h.CheckSumOffset()));
  PeDirectory resources = h.Directory(kDirectoryResource);
  int index = h.SectionOf(resources.rva);
  ASSERT_GE(index, 0);
  EXPECT_EQ(h.sections[size_t(index)].virtualAddress, resources.rva);
  EXPECT_EQ(h.sections[size_t(index)].virtualSize, resources.size);
}

