#include "pe/resource_writer.h"

#include <algorithm>
#include <cstring>

#include "pe/pe_headers.h"
#include "pe/resource_tree.h"
#include "pe/section_plan.h"

namespace {

constexpr uint32_t kResourceCharacteristics = 0x40000040;  // initialised data, readable
constexpr uint32_t kInitializedData = 0x00000040;
constexpr uint64_t kFourGiB = 1ull << 32;

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace

PeStatus EmbedResource(const uint8_t* image, size_t imageSize, uint16_t type, uint16_t name, uint16_t language,
                       const uint8_t* data, size_t dataSize, std::vector<uint8_t>* out) {
  out->clear();
  MemorySource source(image, imageSize);
  PeHeaders h;
  PeStatus status = ReadPeHeaders(source, &h);
  if (status != PeStatus::Ok) return status;
  PeDirectory security = h.Directory(kDirectorySecurity);
  if (security.rva != 0 || security.size != 0) return PeStatus::Signed;
  if (h.directories.size() <= size_t(kDirectoryResource)) return PeStatus::Unsupported;
  TrailingSymbols symbols;
  if ((status = FindTrailingSymbols(image, imageSize, h, &symbols)) != PeStatus::Ok) return status;

  ResourceTree tree;
  if ((status = ReadResourceTree(source, h, true, &tree)) != PeStatus::Ok) return status;
  // One version only: a stale copy in another language could be the one
  // that FindResource picks for the user's language.
  tree.Remove(type, name);
  tree.Set(type, name, language, data, dataSize);

  SectionPlan plan;
  if (!PlanResourceSection(image, imageSize, h, &plan)) return PeStatus::Unsupported;
  if (plan.resourceRva >= kFourGiB) return PeStatus::TooLarge;

  std::vector<uint8_t> body;
  if ((status = BuildResourceSection(tree, uint32_t(plan.resourceRva), &body)) != PeStatus::Ok) return status;
  tree = ResourceTree{};  // the data is in body now
  uint64_t rawSize = AlignUp(body.size(), h.fileAlignment);

  // The sections that follow the rebuilt one, each at the next aligned place.
  struct Move {
    size_t index;
    uint64_t rva;
    uint64_t raw;
  };
  std::vector<Move> moves;
  uint64_t nextRva = AlignUp(plan.resourceRva + body.size(), h.sectionAlignment);
  uint64_t nextRaw = plan.resourceRaw + rawSize;
  for (size_t index : plan.movedSections) {
    const PeSection& s = h.sections[index];
    moves.push_back({index, nextRva, s.sizeOfRawData != 0 ? nextRaw : 0});
    nextRva = AlignUp(nextRva + s.MemorySize(), h.sectionAlignment);
    nextRaw += AlignUp(s.sizeOfRawData, h.fileAlignment);
  }
  uint64_t symbolBytes = symbols.present ? symbols.end - symbols.start : 0;
  uint64_t total = nextRaw + symbolBytes;
  if (total >= kFourGiB || nextRva >= kFourGiB) return PeStatus::TooLarge;

  out->assign(size_t(total), 0);
  std::memcpy(out->data(), image, size_t(std::min<uint64_t>(plan.keptBytes, imageSize)));
  std::memcpy(out->data() + plan.resourceRaw, body.data(), body.size());
  for (const Move& move : moves) {
    const PeSection& s = h.sections[move.index];
    if (s.sizeOfRawData != 0) std::memcpy(out->data() + move.raw, image + s.pointerToRawData, s.sizeOfRawData);
  }
  if (symbols.present) std::memcpy(out->data() + nextRaw, image + symbols.start, size_t(symbolBytes));
  uint8_t* o = out->data();

  // The section headers.
  uint8_t* header = o + h.SectionHeaderOffset(plan.resourceIndex);
  uint32_t oldRawSize = 0;
  uint32_t characteristics = kResourceCharacteristics;
  if (plan.inPlace) {
    oldRawSize = h.sections[plan.resourceIndex].sizeOfRawData;
    characteristics = h.sections[plan.resourceIndex].characteristics;
  } else {
    std::memset(header, 0, kSectionHeaderSize);
    std::memcpy(header, ".rsrc", 5);
    StoreU16(o + h.NumberOfSectionsOffset(), uint16_t(h.sections.size() + 1));
  }
  StoreU32(header + 8, uint32_t(body.size()));
  StoreU32(header + 12, uint32_t(plan.resourceRva));
  StoreU32(header + 16, uint32_t(rawSize));
  StoreU32(header + 20, uint32_t(plan.resourceRaw));
  StoreU32(header + 36, characteristics);
  for (const Move& move : moves) {
    uint8_t* moved = o + h.SectionHeaderOffset(move.index);
    StoreU32(moved + 12, uint32_t(move.rva));
    StoreU32(moved + 20, uint32_t(move.raw));
  }

  // Data directories: the resources, and whatever lay in a moved section.
  StoreU32(o + h.DirectoryEntryOffset(kDirectoryResource), uint32_t(plan.resourceRva));
  StoreU32(o + h.DirectoryEntryOffset(kDirectoryResource) + 4, uint32_t(body.size()));
  for (const Move& move : moves) {
    const PeSection& s = h.sections[move.index];
    for (int d = 0; d < int(h.directories.size()); ++d) {
      uint32_t rva = h.directories[size_t(d)].rva;
      if (d == kDirectorySecurity || d == kDirectoryResource || rva == 0 || h.SectionOf(rva) != int(move.index)) continue;
      StoreU32(o + h.DirectoryEntryOffset(d), uint32_t(move.rva + (rva - s.virtualAddress)));
    }
  }

  uint64_t sizeOfImage = nextRva;
  for (size_t i = 0; i < h.sections.size(); ++i) {
    bool placed = (plan.inPlace && i == plan.resourceIndex) ||
                  std::any_of(moves.begin(), moves.end(), [&](const Move& m) { return m.index == i; });
    if (placed) continue;
    const PeSection& s = h.sections[i];
    sizeOfImage = std::max(sizeOfImage, AlignUp(uint64_t(s.virtualAddress) + s.MemorySize(), h.sectionAlignment));
  }
  StoreU32(o + h.SizeOfImageOffset(), uint32_t(sizeOfImage));

  if ((characteristics & kInitializedData) != 0) {
    uint64_t initialized = uint64_t(h.sizeOfInitializedData) + rawSize;
    initialized = initialized >= oldRawSize ? initialized - oldRawSize : 0;
    StoreU32(o + h.SizeOfInitializedDataOffset(), uint32_t(std::min<uint64_t>(initialized, 0xFFFFFFFFu)));
  }
  if (symbols.present) StoreU32(o + h.PointerToSymbolTableOffset(), uint32_t(nextRaw));

  StoreU32(o + h.CheckSumOffset(), ComputePeChecksum(o, out->size(), h.CheckSumOffset()));
  return PeStatus::Ok;
}
