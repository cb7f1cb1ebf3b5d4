#pragma once
// An executable's own icon, replaced from an .ico file: the file's images
// become RT_ICON resources and its directory the RT_GROUP_ICON that the
// shell shows (the first group of the resource directory).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/resource_tree.h"

constexpr uint16_t kResourceTypeIcon = 3;
constexpr uint16_t kResourceTypeGroupIcon = 14;

struct IconImage {
  uint8_t width = 0, height = 0, colorCount = 0;  // 0 width or height means 256
  uint16_t planes = 0, bitCount = 0;
  std::vector<uint8_t> data;  // a PNG or a DIB with its mask
};

// Reads an .ico file: false with the reason (for a message) when it is not
// one: a wrong header, no images, an image outside the file, or image data
// that is neither PNG nor a bitmap.
bool ParseIconFile(const uint8_t* data, size_t size, std::vector<IconImage>* images, std::string* error);

// Makes images the first icon group of tree, in the languages that group
// has (neutral when the tree has none): the group's old images are removed
// unless another group uses them too, and the new ones take numbers above
// every RT_ICON of the tree. TooLarge when the numbers run out.
PeStatus ReplaceFirstIconGroup(const std::vector<IconImage>& images, ResourceTree* tree);
