#include "pe/section_plan.h"

#include <algorithm>

namespace {

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

uint64_t MemoryEnd(const PeSection& s) { return uint64_t(s.virtualAddress) + s.MemorySize(); }

bool Inside(uint32_t rva, const PeSection& s) { return rva >= s.virtualAddress && rva < MemoryEnd(s); }

// True when every relocation patches bytes below limit. One that patched the
// resource section or the relocations themselves would patch bytes that
// move; a malformed list is not moved either.
bool RelocationsStayBelow(const uint8_t* image, const PeHeaders& h, uint64_t limit) {
  PeDirectory relocations = h.Directory(kDirectoryBaseRelocation);
  uint64_t offset = 0;
  if (!h.RvaToOffset(relocations.rva, relocations.size, &offset)) return false;
  const uint8_t* block = image + offset;
  uint32_t left = relocations.size;
  while (left >= 8) {
    uint32_t page = LoadU32(block);
    uint32_t blockSize = LoadU32(block + 4);
    if (blockSize < 8 || blockSize > left || blockSize % 2 != 0) return false;
    for (uint32_t at = 8; at < blockSize; at += 2) {
      uint16_t entry = LoadU16(block + at);
      // Type 0 only pads a block; no fixup patches more than 8 bytes.
      if ((entry >> 12) != 0 && uint64_t(page) + (entry & 0xFFF) + 8 > limit) return false;
    }
    block += blockSize;
    left -= blockSize;
  }
  return left == 0;
}

// The sections behind the resource section that may move (only the one
// holding the base relocations), in address order; false when another
// section lies behind it or a section's raw data is out of order.
bool SectionsBehind(const uint8_t* image, const PeHeaders& h, size_t index, std::vector<size_t>* moved) {
  const PeSection& resources = h.sections[index];
  PeDirectory relocations = h.Directory(kDirectoryBaseRelocation);
  moved->clear();
  for (size_t i = 0; i < h.sections.size(); ++i) {
    if (i == index) continue;
    const PeSection& other = h.sections[i];
    if (other.virtualAddress < resources.virtualAddress) {
      if (other.sizeOfRawData != 0 && uint64_t(other.pointerToRawData) + other.sizeOfRawData > resources.pointerToRawData) {
        return false;
      }
      continue;
    }
    bool holdsRelocations = relocations.rva != 0 && Inside(relocations.rva, other) &&
                            uint64_t(relocations.rva) + relocations.size <= MemoryEnd(other);
    if (!holdsRelocations) return false;
    if (other.sizeOfRawData != 0 &&
        other.pointerToRawData < uint64_t(resources.pointerToRawData) + resources.sizeOfRawData) {
      return false;
    }
    moved->push_back(i);
  }
  if (!moved->empty() && !RelocationsStayBelow(image, h, resources.virtualAddress)) return false;
  return true;
}

bool CanRebuildInPlace(const uint8_t* image, const PeHeaders& h, int index, std::vector<size_t>* moved) {
  if (index < 0) return false;
  const PeSection& s = h.sections[size_t(index)];
  if (h.Directory(kDirectoryResource).rva != s.virtualAddress || s.sizeOfRawData == 0) return false;
  if (!SectionsBehind(image, h, size_t(index), moved)) return false;
  // Nothing but the resource directory may point into the rebuilt section,
  // and nothing but the relocation directory into a moved one.
  for (int d = 0; d < int(h.directories.size()); ++d) {
    uint32_t rva = h.directories[size_t(d)].rva;
    if (d == kDirectoryResource || d == kDirectorySecurity || rva == 0) continue;
    int holder = h.SectionOf(rva);
    if (holder == index) return false;
    bool inMoved = std::find(moved->begin(), moved->end(), size_t(holder)) != moved->end();
    if (inMoved && d != kDirectoryBaseRelocation) return false;
  }
  return true;
}

// The payload is most of an installer: starting its section on a page
// boundary of the file lets a loader map it from the file instead of
// reading it all in at start (Wine reads any section that is not aligned),
// for at most one page of padding.
constexpr uint32_t kPageSize = 4096;

bool AllZero(const uint8_t* p, uint64_t from, uint64_t to) {
  return std::all_of(p + from, p + to, [](uint8_t b) { return b == 0; });
}

// A new resource section behind the last one. Its header goes behind the
// last header: it must fit before the first section's data and cover only
// zero bytes.
bool PlanAppendedSection(const uint8_t* image, size_t imageSize, const PeHeaders& h, SectionPlan* plan) {
  *plan = SectionPlan{};
  plan->resourceIndex = h.sections.size();
  uint64_t headerAt = h.SectionHeaderOffset(plan->resourceIndex);
  uint64_t firstData = h.sizeOfHeaders;
  for (const PeSection& s : h.sections) {
    if (s.sizeOfRawData != 0) firstData = std::min<uint64_t>(firstData, s.pointerToRawData);
  }
  if (headerAt + kSectionHeaderSize > firstData || headerAt + kSectionHeaderSize > imageSize ||
      !AllZero(image, headerAt, headerAt + kSectionHeaderSize)) {
    return false;
  }
  uint64_t memoryEnd = h.sizeOfHeaders;
  for (const PeSection& s : h.sections) memoryEnd = std::max<uint64_t>(memoryEnd, MemoryEnd(s));
  plan->resourceRva = AlignUp(memoryEnd, h.sectionAlignment);
  plan->keptBytes = AlignUp(h.RawEnd(), h.fileAlignment);
  plan->resourceRaw = AlignUp(plan->keptBytes, kPageSize);
  return true;
}

}  // namespace

bool PlanTrailingResourceSection(const uint8_t* image, size_t imageSize, const PeHeaders& h,
                                 TrailingResourcePlan* plan) {
  *plan = TrailingResourcePlan{};
  SectionPlan basic;
  if (!PlanResourceSection(image, imageSize, h, &basic)) return false;
  plan->keptBytes = basic.keptBytes;
  if (basic.inPlace) {
    std::vector<size_t> moved = basic.movedSections;
    const size_t index = basic.resourceIndex;
    // The moved sections take the table slots from the resource section's
    // on, in address order, which must also be their order in the table.
    bool inTableOrder = true;
    for (size_t k = 0; k < moved.size(); ++k) inTableOrder = inTableOrder && moved[k] == index + 1 + k;
    if (inTableOrder && index + 1 + moved.size() == h.sections.size()) {
      const PeSection& old = h.sections[index];
      plan->rebuilt = true;
      plan->characteristics = old.characteristics;
      uint64_t rva = old.virtualAddress;
      uint64_t raw = old.pointerToRawData;
      for (size_t k = 0; k < moved.size(); ++k) {
        const PeSection& s = h.sections[moved[k]];
        plan->moved.push_back({moved[k], index + k, rva, s.sizeOfRawData != 0 ? raw : 0});
        rva = AlignUp(rva + s.MemorySize(), h.sectionAlignment);
        raw += AlignUp(s.sizeOfRawData, h.fileAlignment);
      }
      plan->resourceSlot = index + moved.size();
      plan->sectionCount = h.sections.size();
      plan->resourceRva = AlignUp(rva, h.sectionAlignment);
      plan->resourceRaw = AlignUp(raw, kPageSize);
      return true;
    }
    // Appending needs a free header slot, which the rebuild did not.
    if (!PlanAppendedSection(image, imageSize, h, &basic)) return false;
    plan->keptBytes = basic.keptBytes;
  }
  plan->resourceSlot = h.sections.size();
  plan->sectionCount = h.sections.size() + 1;
  plan->resourceRva = basic.resourceRva;
  plan->resourceRaw = AlignUp(basic.keptBytes, kPageSize);
  plan->characteristics = 0x40000040;  // initialised data, readable
  return true;
}

bool PlanResourceSection(const uint8_t* image, size_t imageSize, const PeHeaders& h, SectionPlan* plan) {
  *plan = SectionPlan{};
  PeDirectory oldResources = h.Directory(kDirectoryResource);
  int oldIndex = oldResources.rva != 0 ? h.SectionOf(oldResources.rva) : -1;
  if (CanRebuildInPlace(image, h, oldIndex, &plan->movedSections)) {
    const PeSection& s = h.sections[size_t(oldIndex)];
    plan->inPlace = true;
    plan->resourceIndex = size_t(oldIndex);
    plan->resourceRva = s.virtualAddress;
    plan->keptBytes = s.pointerToRawData;
    plan->resourceRaw = AlignUp(plan->keptBytes, kPageSize);
    std::sort(plan->movedSections.begin(), plan->movedSections.end(),
              [&](size_t a, size_t b) { return h.sections[a].virtualAddress < h.sections[b].virtualAddress; });
    return true;
  }
  return PlanAppendedSection(image, imageSize, h, plan);
}
