#include "pe/uninstaller_recipe.h"

#include <cstring>

#include "pe/byte_source.h"
#include "util/sha256.h"

namespace {

constexpr uint32_t kMagic = 0x52554C50;  // "PLUR"
constexpr uint32_t kVersion = 2;
constexpr size_t kVersion1HeaderSize = 24;
constexpr size_t kHeaderSize = 56;

size_t HeaderSizeOf(uint32_t version) { return version == 1 ? kVersion1HeaderSize : kHeaderSize; }
constexpr size_t kPatchHeaderSize = 8;

void AppendU32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  StoreU32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

// Walks the patch list: calls apply(offset, bytes, length) for each; false
// when a patch does not fit the recipe or the uninstaller.
template <typename Apply>
bool ForEachPatch(const uint8_t* recipe, size_t size, uint32_t length, Apply apply) {
  const uint32_t count = LoadU32(recipe + 20);
  size_t at = HeaderSizeOf(LoadU32(recipe + 4));
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < kPatchHeaderSize) return false;
    const uint32_t offset = LoadU32(recipe + at);
    const uint32_t bytes = LoadU32(recipe + at + 4);
    at += kPatchHeaderSize;
    if (bytes > size - at || offset > length || bytes > length - offset) return false;
    apply(offset, recipe + at, bytes);
    at += bytes;
  }
  return true;
}

}  // namespace

uint32_t RecipeHash(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

std::vector<uint8_t> EncodeRecipe(const std::vector<uint8_t>& uninstaller, uint32_t prefixLength,
                                  const std::vector<RecipeRange>& ranges) {
  std::vector<uint8_t> out;
  AppendU32(out, kMagic);
  AppendU32(out, kVersion);
  AppendU32(out, prefixLength);
  AppendU32(out, uint32_t(uninstaller.size()));
  AppendU32(out, RecipeHash(uninstaller.data(), uninstaller.size()));
  AppendU32(out, uint32_t(ranges.size()));
  Sha256 sha;
  sha.Update(uninstaller.data(), uninstaller.size());
  const std::array<uint8_t, 32> digest = sha.Finish();
  out.insert(out.end(), digest.begin(), digest.end());
  for (const RecipeRange& range : ranges) {
    AppendU32(out, range.offset);
    AppendU32(out, range.length);
    out.insert(out.end(), uninstaller.begin() + range.offset, uninstaller.begin() + range.offset + range.length);
  }
  return out;
}

bool ReadRecipeHeader(const uint8_t* recipe, size_t size, RecipeHeader* header) {
  if (recipe == nullptr || size < kVersion1HeaderSize || LoadU32(recipe) != kMagic) return false;
  header->version = LoadU32(recipe + 4);
  if ((header->version != 1 && header->version != kVersion) || size < HeaderSizeOf(header->version)) return false;
  if (header->version == kVersion) std::memcpy(header->sha256, recipe + kVersion1HeaderSize, 32);
  header->prefixLength = LoadU32(recipe + 8);
  header->length = LoadU32(recipe + 12);
  header->hash = LoadU32(recipe + 16);
  if (header->length > kMaxUninstallerSize || header->prefixLength > header->length) return false;
  return ForEachPatch(recipe, size, header->length, [](uint32_t, const uint8_t*, uint32_t) {});
}

bool ApplyRecipe(const uint8_t* recipe, size_t size, uint8_t* image, size_t imageSize) {
  RecipeHeader header;
  if (!ReadRecipeHeader(recipe, size, &header) || header.version != kVersion || imageSize != header.length) {
    return false;
  }
  ForEachPatch(recipe, size, header.length, [image](uint32_t offset, const uint8_t* bytes, uint32_t length) {
    std::memcpy(image + offset, bytes, length);
  });
  if (RecipeHash(image, imageSize) != header.hash) return false;
  Sha256 sha;
  sha.Update(image, imageSize);
  const std::array<uint8_t, 32> digest = sha.Finish();
  return std::memcmp(digest.data(), header.sha256, 32) == 0;
}
