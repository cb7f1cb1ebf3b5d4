#pragma once
// Adds or replaces one resource in a PE32 or PE32+ image held in memory.
// Versions of the same type and name in other languages are removed, so the
// new data is the only one any language finds.
//
// The existing resources are read and written back together with the new
// one as a fresh resource section. When nothing but the base relocations
// follows the old resource section, it is rebuilt in place and the
// relocations move behind it (section_plan.h); otherwise the new section is
// appended after the last one and the old one stays behind, unused. The
// data directories, the section table, SizeOfImage, SizeOfInitializedData
// and the checksum are updated; a COFF symbol table at the end of the file
// is moved behind the last section.
//
// Refused, with out left empty: anything that is not a PE image (NotPe,
// Corrupt), a signed image (Signed: a signature would no longer match, so
// signing has to come after packing), data appended after the sections
// (Overlay), no room for another section header (Unsupported), and a result
// of 4 GiB or more (TooLarge).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pe/pe_status.h"

PeStatus EmbedResource(const uint8_t* image, size_t imageSize, uint16_t type, uint16_t name, uint16_t language,
                       const uint8_t* data, size_t dataSize, std::vector<uint8_t>* out);
