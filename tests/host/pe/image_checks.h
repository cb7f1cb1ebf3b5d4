#pragma once
// What the PE tests share: images made to order (synthetic_image.h) with
// resources like the installer's, and the layout rules every image the
// writers make must follow.

#include <cstdint>
#include <vector>

#include "pe/pe_headers.h"
#include "pe/resource_tree.h"
#include "synthetic_image.h"

std::vector<uint8_t> Pattern(size_t size, uint8_t seed);
// A named type, a string name, a dialog in two languages, an icon and a
// manifest.
ResourceTree ExistingResources();
// One base relocation block: HIGHLOW fixups at page + each offset.
std::vector<uint8_t> RelocationBlock(uint32_t page, std::vector<uint16_t> offsets);
// .text and .data, then .rsrc with ExistingResources() when withResources,
// then .reloc unless resourcesLast.
SyntheticImage MakeLayout(bool is64, bool withResources, bool resourcesLast);
PeHeaders Headers(const std::vector<uint8_t>& image);
ResourceTree Tree(const std::vector<uint8_t>& image);
void ExpectSameLeaves(const ResourceTree& expected, const ResourceTree& actual);
// Aligned sections in address order, SizeOfImage, the checksum, and the
// resource directory at the start of its section, covering it.
void ExpectConsistent(const std::vector<uint8_t>& image);
