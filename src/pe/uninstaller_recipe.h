#pragma once
// How an installer writes its uninstaller without carrying a second copy of
// the program: the uninstaller is the first bytes of the installer's own
// file with a few ranges replaced (header fields that named the payload, and
// whatever signing the uninstaller added), plus bytes appended after them
// (a signature's certificate table). The packer works the recipe out and
// stores it as a resource of the installer, behind the payload, so that it
// is no part of the uninstaller itself; the installer reads it back and
// applies it to its own file (installer_image.h has the layout).
//
// Recipe layout (little-endian):
//   0   4  magic "PLUR"
//   4   4  version, 2
//   8   4  prefix length: the bytes taken from the installer's file
//   12  4  uninstaller length (bytes past the prefix start as zero)
//   16  4  FNV-1a of the whole uninstaller (a quick check of a damaged one)
//   20  4  patch count
//   24  32 SHA-256 of the whole uninstaller: what the result must be
//   56     patches, back to back: offset (4), length (4), the bytes
// Version 1 (no SHA-256, patches from offset 24) is read for what it says,
// but no uninstaller is made from it: a 32-bit sum can be matched on purpose.

#include <cstddef>
#include <cstdint>
#include <vector>

// RT_RCDATA resource of the installer that holds the recipe.
constexpr uint16_t kUninstallerRecipeResourceId = 24357;
// An uninstaller larger than this is not made from a recipe.
constexpr uint32_t kMaxUninstallerSize = 64u << 20;

struct RecipeHeader {
  uint32_t version = 0;
  uint32_t prefixLength = 0;
  uint32_t length = 0;
  uint32_t hash = 0;
  uint8_t sha256[32] = {};  // version 2
};

// A range of the uninstaller that the recipe spells out.
struct RecipeRange {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// FNV-1a (32-bit) of the bytes.
uint32_t RecipeHash(const uint8_t* data, size_t size);

// Writes the recipe for uninstaller: its first prefixLength bytes come from
// the installer except the given ranges, which are stored with the bytes
// uninstaller has there. The ranges must be in order, not overlap, and lie
// inside the uninstaller; every byte past prefixLength must be covered.
std::vector<uint8_t> EncodeRecipe(const std::vector<uint8_t>& uninstaller, uint32_t prefixLength,
                                  const std::vector<RecipeRange>& ranges);

// Reads and checks the recipe's header and patch list. False for anything
// malformed: a wrong magic or version, a patch outside the uninstaller or
// the recipe, a prefix longer than the uninstaller, a size over the limit.
bool ReadRecipeHeader(const uint8_t* recipe, size_t size, RecipeHeader* header);

// image holds header.length bytes: the installer's first prefixLength
// bytes, the rest zero. Applies the patches and checks the result against
// the recipe's SHA-256 (and its FNV-1a). False (image then undefined) on
// any mismatch and for a version 1 recipe.
bool ApplyRecipe(const uint8_t* recipe, size_t size, uint8_t* image, size_t imageSize);
