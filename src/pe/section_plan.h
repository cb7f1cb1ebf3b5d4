#pragma once
// Where the resource writer puts the new resource section.
//
// The resource section is rebuilt where it is when nothing but the base
// relocations lies behind it: the relocation section is then moved behind
// the grown resource section. Relocation blocks hold the addresses of the
// places to patch, never their own, so they can move as a whole; only the
// directory entry that finds them changes. Any other layout gets a new
// resource section after the last one, and the old one stays, unused.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pe/pe_headers.h"


struct SectionPlan {
  bool inPlace = false;
  size_t resourceIndex = 0;            // section table index; sections.size() when appended
  uint64_t resourceRva = 0;
  uint64_t resourceRaw = 0;            // file offset of its raw data, a multiple of the page size
  uint64_t keptBytes = 0;              // the image's bytes before it that stay as they are
  std::vector<size_t> movedSections;   // indices of the sections behind it, in address order
};

// Chooses the layout for image (already checked by ReadPeHeaders). False
// when the image has no room for another section header and the resource
// section cannot be rebuilt in place.
bool PlanResourceSection(const uint8_t* image, size_t imageSize, const PeHeaders& headers, SectionPlan* plan);
