#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "image_checks.h"
#include "pe/installer_image.h"
#include "pe/uninstaller_recipe.h"

namespace {

constexpr uint16_t kPayloadId = 24356;

// What the installer does: its file's first bytes, patched by the recipe
// it finds among its resources. Empty when that fails.
std::vector<uint8_t> UninstallerFrom(const std::vector<uint8_t>& installer) {
  MemorySource source(installer.data(), installer.size());
  uint64_t offset = 0;
  uint32_t size = 0;
  if (LocateResource(source, kResourceTypeRcData, kUninstallerRecipeResourceId, kLanguageNeutral, &offset, &size) !=
      PeStatus::Ok) {
    return {};
  }
  const uint8_t* recipe = installer.data() + offset;
  RecipeHeader header;
  if (!ReadRecipeHeader(recipe, size, &header)) return {};
  std::vector<uint8_t> image(header.length, 0);
  std::memcpy(image.data(), installer.data(), std::min<size_t>(header.prefixLength, installer.size()));
  if (!ApplyRecipe(recipe, size, image.data(), image.size())) return {};
  return image;
}

// What Authenticode signing does to a file: the certificate table appended
// on an 8-byte boundary, the security directory entry pointing at it, the
// checksum recomputed. touch also changes a header byte, as a signing
// tool that stamps the file would.
std::vector<uint8_t> SignLike(std::vector<uint8_t> image, uint8_t seed, bool touch = false) {
  PeHeaders h = Headers(image);
  image.resize((image.size() + 7) & ~size_t(7), 0);
  std::vector<uint8_t> table = Pattern(1000 + seed, seed);
  StoreU32(&table[0], uint32_t(table.size()));
  StoreU16(&table[4], 0x0200);
  StoreU16(&table[6], 2);
  StoreU32(&image[h.DirectoryEntryOffset(kDirectorySecurity)], uint32_t(image.size()));
  StoreU32(&image[h.DirectoryEntryOffset(kDirectorySecurity) + 4], uint32_t(table.size()));
  image.insert(image.end(), table.begin(), table.end());
  if (touch) image[h.fileHeaderOffset + 4] ^= seed;  // TimeDateStamp
  StoreU32(&image[h.CheckSumOffset()], ComputePeChecksum(image.data(), image.size(), h.CheckSumOffset()));
  return image;
}

// The tree without types whose names are all gone (the uninstaller's
// RT_RCDATA type, when the stub had no other).
ResourceTree WithoutEmptyTypes(ResourceTree tree) {
  tree.types.erase(std::remove_if(tree.types.begin(), tree.types.end(),
                                  [](const ResourceType& t) { return t.names.empty(); }),
                   tree.types.end());
  return tree;
}

PeStatus Locate(const std::vector<uint8_t>& image, uint16_t id, std::vector<uint8_t>* data = nullptr) {
  MemorySource source(image.data(), image.size());
  uint64_t offset = 0;
  uint32_t size = 0;
  PeStatus status = LocateResource(source, kResourceTypeRcData, id, kLanguageNeutral, &offset, &size);
  if (status == PeStatus::Ok && data != nullptr) data->assign(image.begin() + long(offset), image.begin() + long(offset + size));
  return status;
}

struct Layout {
  const char* what;
  bool withResources;
  bool resourcesLast;
  bool blocked;  // a section behind the relocations: the resources go to a new last section
};

const Layout kLayouts[] = {
    {"resources followed by the relocations", true, false, false},
    {"resources last", true, true, false},
    {"no resources", false, true, false},
    {"a section the relocations cannot pass", true, false, true},
};

std::vector<uint8_t> StubOf(bool is64, const Layout& layout) {
  SyntheticImage image = MakeLayout(is64, layout.withResources, layout.resourcesLast);
  if (layout.blocked) image.sections.push_back({".other", Pattern(0x20, 4), 0x40000040});
  return BuildImage(image);
}

class InstallerLayout : public ::testing::TestWithParam<bool> {};

TEST_P(InstallerLayout, PayloadLastAndTheUninstallerBeforeIt) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.what);
    const std::vector<uint8_t> stub = StubOf(GetParam(), layout);
    const std::vector<uint8_t> payload = Pattern(70001, 3);
    InstallerImage image;
    ASSERT_EQ(image.Prepare(stub.data(), stub.size(), kPayloadId), PeStatus::Ok);
    std::vector<uint8_t> installer;
    ASSERT_EQ(image.Finish(payload.data(), payload.size(), image.Uninstaller(), &installer), PeStatus::Ok);
    const std::vector<uint8_t>& uninstaller = image.Uninstaller();
    ExpectConsistent(installer);
    ExpectConsistent(uninstaller);

    // The resource section is the last, in memory and in the file, on a
    // page boundary of the file, and the payload ends it.
    PeHeaders h = Headers(installer);
    const PeSection& last = h.sections.back();
    EXPECT_EQ(h.Directory(kDirectoryResource).rva, last.virtualAddress);
    EXPECT_EQ(last.pointerToRawData % 4096, 0u);
    EXPECT_EQ(installer.size(), uint64_t(last.pointerToRawData) + last.sizeOfRawData);
    for (const PeSection& s : h.sections) EXPECT_LE(s.pointerToRawData, last.pointerToRawData);
    std::vector<uint8_t> found;
    ASSERT_EQ(Locate(installer, kPayloadId, &found), PeStatus::Ok);
    EXPECT_EQ(found, payload);
    EXPECT_EQ(Locate(installer, kUninstallerRecipeResourceId), PeStatus::Ok);
    ExpectSameLeaves(WithoutEmptyTypes(Tree(stub)),
                     [&] {
                       ResourceTree tree = Tree(installer);
                       tree.Remove(kResourceTypeRcData, kPayloadId);
                       tree.Remove(kResourceTypeRcData, kUninstallerRecipeResourceId);
                       return WithoutEmptyTypes(tree);
                     }());

    // The uninstaller: the same resources without the payload and the
    // recipe, and a prefix of the installer but for the fixed fields.
    EXPECT_EQ(Locate(uninstaller, kPayloadId), PeStatus::NotFound);
    EXPECT_EQ(Locate(uninstaller, kUninstallerRecipeResourceId), PeStatus::NotFound);
    ExpectSameLeaves(WithoutEmptyTypes(Tree(stub)), WithoutEmptyTypes(Tree(uninstaller)));
    ASSERT_LE(uninstaller.size(), installer.size());
    for (size_t i = 0; i < uninstaller.size(); ++i) {
      if (uninstaller[i] == installer[i]) continue;
      bool fixed = false;
      for (const RecipeRange& r : image.FixedRanges()) fixed = fixed || (i >= r.offset && i < r.offset + r.length);
      ASSERT_TRUE(fixed) << "byte " << i << " differs outside the fixed fields";
    }

    EXPECT_EQ(UninstallerFrom(installer), uninstaller);
    EXPECT_EQ(UninstallerFrom(SignLike(installer, 5)), uninstaller) << "after the installer is signed";

    // A signed uninstaller comes back byte for byte, also from a signed installer.
    const std::vector<uint8_t> signedUninstaller = SignLike(uninstaller, 9, true);
    std::vector<uint8_t> signedBuild;
    ASSERT_EQ(image.Finish(payload.data(), payload.size(), signedUninstaller, &signedBuild), PeStatus::Ok);
    EXPECT_EQ(UninstallerFrom(signedBuild), signedUninstaller);
    EXPECT_EQ(UninstallerFrom(SignLike(signedBuild, 7)), signedUninstaller);

    // An installer given as stub: its payload and recipe go, and the
    // uninstaller is the same.
    InstallerImage again;
    ASSERT_EQ(again.Prepare(signedBuild.data(), signedBuild.size(), kPayloadId), PeStatus::Ok);
    EXPECT_EQ(again.Uninstaller(), uninstaller);
  }
}

TEST_P(InstallerLayout, SymbolTableStaysWithTheInstallerOnly) {
  std::vector<uint8_t> stub = BuildImage(MakeLayout(GetParam(), true, false));
  PeHeaders h = Headers(stub);
  std::vector<uint8_t> symbols = Pattern(2 * 18, 77);
  std::vector<uint8_t> strings = {9, 0, 0, 0, 'a', 'b', 'c', 'd', 0};
  const uint32_t at = uint32_t(stub.size());
  stub.insert(stub.end(), symbols.begin(), symbols.end());
  stub.insert(stub.end(), strings.begin(), strings.end());
  StoreU32(&stub[h.PointerToSymbolTableOffset()], at);
  StoreU32(&stub[h.PointerToSymbolTableOffset() + 4], 2);

  InstallerImage image;
  ASSERT_EQ(image.Prepare(stub.data(), stub.size(), kPayloadId), PeStatus::Ok);
  std::vector<uint8_t> installer;
  const std::vector<uint8_t> payload = Pattern(999, 4);
  ASSERT_EQ(image.Finish(payload.data(), payload.size(), image.Uninstaller(), &installer), PeStatus::Ok);
  PeHeaders after = Headers(installer);
  EXPECT_EQ(after.pointerToSymbolTable, after.RawEnd());
  EXPECT_EQ(after.numberOfSymbols, 2u);
  ASSERT_EQ(installer.size(), after.RawEnd() + symbols.size() + strings.size());
  EXPECT_TRUE(std::equal(symbols.begin(), symbols.end(), installer.begin() + long(after.pointerToSymbolTable)));
  EXPECT_EQ(Headers(image.Uninstaller()).pointerToSymbolTable, 0u);
  EXPECT_EQ(UninstallerFrom(installer), image.Uninstaller());
}

TEST_P(InstallerLayout, RefusesWhatItCannotLayOut) {
  SyntheticImage signedLayout = MakeLayout(GetParam(), true, true);
  signedLayout.securityRva = 0x5000;
  signedLayout.securitySize = 0x100;
  SyntheticImage higherId = MakeLayout(GetParam(), true, true);
  uint8_t byte = 1;
  higherId.resources.Set(kResourceTypeRcData, 30000, 0, &byte, 1);
  std::vector<uint8_t> overlay = BuildImage(MakeLayout(GetParam(), true, true));
  overlay.push_back(1);
  const struct {
    const char* what;
    std::vector<uint8_t> stub;
    PeStatus status;
  } cases[] = {
      {"signed", BuildImage(signedLayout), PeStatus::Signed},
      {"RT_RCDATA numbered above the recipe", BuildImage(higherId), PeStatus::Unsupported},
      {"data behind the sections", overlay, PeStatus::Overlay},
      {"not an executable", Pattern(4096, 0), PeStatus::NotPe},
  };
  for (const auto& c : cases) {
    InstallerImage image;
    EXPECT_EQ(image.Prepare(c.stub.data(), c.stub.size(), kPayloadId), c.status) << c.what;
    EXPECT_TRUE(image.Uninstaller().empty()) << c.what;
    std::vector<uint8_t> out{1};
    EXPECT_EQ(image.Finish(&byte, 1, image.Uninstaller(), &out), PeStatus::Unsupported) << c.what;
    EXPECT_TRUE(out.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, InstallerLayout, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Pe32Plus" : "Pe32"; });

TEST(UninstallerRecipe, DamageIsRefused) {
  const std::vector<uint8_t> uninstaller = Pattern(5000, 1);
  const std::vector<uint8_t> good = EncodeRecipe(uninstaller, 4000, {{10, 4}, {3990, 1010}});
  std::vector<uint8_t> image(uninstaller.begin(), uninstaller.begin() + 4000);
  image.resize(5000, 0);
  image[10] ^= 1;  // what the patch puts right
  ASSERT_TRUE(ApplyRecipe(good.data(), good.size(), image.data(), image.size()));
  EXPECT_EQ(image, uninstaller);

  const struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  } cases[] = {
      {"magic", [](std::vector<uint8_t>& r) { r[0] ^= 1; }},
      {"version", [](std::vector<uint8_t>& r) { StoreU32(&r[4], 3); }},
      // The old layout, patches behind a 32-bit sum alone: never applied.
      {"version 1", [](std::vector<uint8_t>& r) { StoreU32(&r[4], 1); r.erase(r.begin() + 24, r.begin() + 56); }},
      {"prefix longer than the uninstaller", [](std::vector<uint8_t>& r) { StoreU32(&r[8], 5001); }},
      {"length over the limit", [](std::vector<uint8_t>& r) { StoreU32(&r[12], kMaxUninstallerSize + 1); }},
      {"patch beyond the uninstaller", [](std::vector<uint8_t>& r) { StoreU32(&r[56], 4999); }},
      {"patch longer than the recipe", [](std::vector<uint8_t>& r) { StoreU32(&r[60], 100000); }},
      {"patch list cut short", [](std::vector<uint8_t>& r) { r.resize(r.size() - 1); }},
      {"more patches than stored", [](std::vector<uint8_t>& r) { StoreU32(&r[20], 3); }},
      {"hash", [](std::vector<uint8_t>& r) { r[16] ^= 1; }},
      {"SHA-256", [](std::vector<uint8_t>& r) { r[24 + 31] ^= 1; }},
      {"header only", [](std::vector<uint8_t>& r) { r.resize(55); }},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> recipe = good;
    c.damage(recipe);
    std::vector<uint8_t> out(uninstaller.begin(), uninstaller.begin() + 4000);
    out.resize(5000, 0);
    EXPECT_FALSE(ApplyRecipe(recipe.data(), recipe.size(), out.data(), out.size())) << c.what;
  }
  // The right recipe against the wrong prefix: the hash tells.
  std::vector<uint8_t> other(5000, 0);
  EXPECT_FALSE(ApplyRecipe(good.data(), good.size(), other.data(), other.size()));
}

}  // namespace
