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

// The installer's layout puts its resource section last in memory and in the
// file, so that the payload at the section's end is also the end of the
// file. When only the base relocations lie behind the old resource section,
// they move down into its place (keeping their order in the section table)
// and the rebuilt resource section follows them; otherwise a new resource
// section is appended as above.
struct TrailingResourcePlan {
  struct Moved {
    size_t index;  // in the old section table
    size_t slot;   // in the new one
    uint64_t rva;
    uint64_t raw;  // 0 for a section without raw data
  };
  bool rebuilt = false;
  size_t resourceSlot = 0;   // section table index of the resource section
  size_t sectionCount = 0;
  uint64_t keptBytes = 0;    // the image's bytes before the first moved byte
  uint64_t resourceRva = 0;
  uint64_t resourceRaw = 0;  // a multiple of the page size
  uint32_t characteristics = 0;
  std::vector<Moved> moved;
};

bool PlanTrailingResourceSection(const uint8_t* image, size_t imageSize, const PeHeaders& headers,
                                 TrailingResourcePlan* plan);
