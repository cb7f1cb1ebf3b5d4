#include "pe/resource_writer.h"

#include <algorithm>
#include <cstring>

#include "pe/pe_headers.h"
#include "pe/resource_tree.h"

namespace {

constexpr uint32_t kResourceCharacteristics = 0x40000040;  // initialised data, readable
constexpr uint32_t kInitializedData = 0x00000040;
constexpr uint64_t kFourGiB = 1ull << 32;

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool AllZero(const uint8_t* p, uint64_t from, uint64_t to) {
  for (uint64_t i = from; i < to; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

// The COFF symbol and string tables that some linkers leave after the last
// section: raw bytes without file offsets inside, so they can move.
struct TrailingBlock {
  uint64_t start = 0;
  uint64_t end = 0;
  bool present = false;
};

PeStatus FindTrailingBlock(const uint8_t* image, uint64_t size, const PeHeaders& h, TrailingBlock* block) {
  uint64_t rawEnd = h.RawEnd();
  *block = TrailingBlock{};
  if (size <= rawEnd) return PeStatus::Ok;
  if (h.pointerToSymbolTable >= rawEnd && h.pointerToSymbolTable < size) {
    uint64_t strings = h.pointerToSymbolTable + uint64_t(h.numberOfSymbols) * kSymbolSize;
    if (strings + 4 > size) return PeStatus::Overlay;
    uint32_t stringBytes = LoadU32(image + strings);
    if (stringBytes < 4 || strings + stringBytes > size) return PeStatus::Overlay;
    block->start = h.pointerToSymbolTable;
    block->end = strings + stringBytes;
    block->present = true;
    if (!AllZero(image, rawEnd, block->start) || !AllZero(image, block->end, size)) return PeStatus::Overlay;
    return PeStatus::Ok;
  }
  // Zero padding behind the last section is harmless and dropped.
  return AllZero(image, rawEnd, size) ? PeStatus::Ok : PeStatus::Overlay;
}

// True when the section holding the resources can be rebuilt where it is.
bool CanRebuildInPlace(const PeHeaders& h, int index) {
  if (index < 0) return false;
  const PeSection& s = h.sections[size_t(index)];
  PeDirectory resources = h.Directory(kDirectoryResource);
  if (resources.rva != s.virtualAddress || s.sizeOfRawData == 0) return false;
  for (size_t i = 0; i < h.sections.size(); ++i) {
    if (int(i) == index) continue;
    const PeSection& other = h.sections[i];
    if (other.virtualAddress >= s.virtualAddress) return false;
    if (other.sizeOfRawData != 0 && other.pointerToRawData >= s.pointerToRawData) return false;
  }
  for (int d = 0; d < int(h.directories.size()); ++d) {
    if (d == kDirectoryResource || h.directories[size_t(d)].rva == 0) continue;
    if (h.SectionOf(h.directories[size_t(d)].rva) == index) return false;
  }
  return true;
}

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
  TrailingBlock symbols;
  if ((status = FindTrailingBlock(image, imageSize, h, &symbols)) != PeStatus::Ok) return status;

  ResourceTree tree;
  if ((status = ReadResourceTree(source, h, true, &tree)) != PeStatus::Ok) return status;
  // One version only: a stale copy in another language could be the one
  // that FindResource picks for the user's language.
  tree.Remove(type, name);
  tree.Set(type, name, language, data, dataSize);

  PeDirectory oldResources = h.Directory(kDirectoryResource);
  int oldIndex = oldResources.rva != 0 ? h.SectionOf(oldResources.rva) : -1;
  bool inPlace = CanRebuildInPlace(h, oldIndex);
  size_t sectionIndex = 0;
  uint64_t virtualAddress = 0;
  uint64_t rawStart = 0;
  if (inPlace) {
    sectionIndex = size_t(oldIndex);
    virtualAddress = h.sections[sectionIndex].virtualAddress;
    rawStart = h.sections[sectionIndex].pointerToRawData;
  } else {
    // A new section header goes behind the last one: it must fit before the
    // first section's data and cover only zero bytes.
    sectionIndex = h.sections.size();
    uint64_t headerAt = h.SectionHeaderOffset(sectionIndex);
    uint64_t firstData = h.sizeOfHeaders;
    for (const PeSection& s : h.sections) {
      if (s.sizeOfRawData != 0) firstData = std::min<uint64_t>(firstData, s.pointerToRawData);
    }
    if (headerAt + kSectionHeaderSize > firstData || headerAt + kSectionHeaderSize > imageSize ||
        !AllZero(image, headerAt, headerAt + kSectionHeaderSize)) {
      return PeStatus::Unsupported;
    }
    uint64_t memoryEnd = h.sizeOfHeaders;
    for (const PeSection& s : h.sections) memoryEnd = std::max<uint64_t>(memoryEnd, uint64_t(s.virtualAddress) + s.MemorySize());
    virtualAddress = AlignUp(memoryEnd, h.sectionAlignment);
    rawStart = AlignUp(h.RawEnd(), h.fileAlignment);
  }
  if (virtualAddress >= kFourGiB) return PeStatus::TooLarge;

  std::vector<uint8_t> body;
  if ((status = BuildResourceSection(tree, uint32_t(virtualAddress), &body)) != PeStatus::Ok) return status;
  tree = ResourceTree{};  // the data is in body now
  uint64_t rawSize = AlignUp(body.size(), h.fileAlignment);
  uint64_t symbolBytes = symbols.present ? symbols.end - symbols.start : 0;
  uint64_t total = rawStart + rawSize + symbolBytes;
  uint64_t imageEnd = AlignUp(virtualAddress + body.size(), h.sectionAlignment);
  if (total >= kFourGiB || imageEnd >= kFourGiB) return PeStatus::TooLarge;

  out->assign(size_t(total), 0);
  std::memcpy(out->data(), image, size_t(std::min<uint64_t>(rawStart, imageSize)));
  std::memcpy(out->data() + rawStart, body.data(), body.size());
  if (symbols.present) std::memcpy(out->data() + rawStart + rawSize, image + symbols.start, size_t(symbolBytes));
  uint8_t* o = out->data();

  // The section header.
  uint8_t* header = o + h.SectionHeaderOffset(sectionIndex);
  uint32_t oldRawSize = 0;
  uint32_t characteristics = kResourceCharacteristics;
  if (inPlace) {
    oldRawSize = h.sections[sectionIndex].sizeOfRawData;
    characteristics = h.sections[sectionIndex].characteristics;
  } else {
    std::memset(header, 0, kSectionHeaderSize);
    std::memcpy(header, ".rsrc", 5);
    StoreU16(o + h.NumberOfSectionsOffset(), uint16_t(h.sections.size() + 1));
  }
  StoreU32(header + 8, uint32_t(body.size()));
  StoreU32(header + 12, uint32_t(virtualAddress));
  StoreU32(header + 16, uint32_t(rawSize));
  StoreU32(header + 20, uint32_t(rawStart));
  StoreU32(header + 36, characteristics);

  StoreU32(o + h.DirectoryEntryOffset(kDirectoryResource), uint32_t(virtualAddress));
  StoreU32(o + h.DirectoryEntryOffset(kDirectoryResource) + 4, uint32_t(body.size()));

  uint64_t sizeOfImage = imageEnd;
  for (size_t i = 0; i < h.sections.size(); ++i) {
    if (inPlace && i == sectionIndex) continue;
    const PeSection& s = h.sections[i];
    sizeOfImage = std::max(sizeOfImage, AlignUp(uint64_t(s.virtualAddress) + s.MemorySize(), h.sectionAlignment));
  }
  StoreU32(o + h.SizeOfImageOffset(), uint32_t(sizeOfImage));

  if ((characteristics & kInitializedData) != 0) {
    uint64_t initialized = uint64_t(h.sizeOfInitializedData) + rawSize;
    initialized = initialized >= oldRawSize ? initialized - oldRawSize : 0;
    StoreU32(o + h.SizeOfInitializedDataOffset(), uint32_t(std::min<uint64_t>(initialized, 0xFFFFFFFFu)));
  }
  if (symbols.present) StoreU32(o + h.PointerToSymbolTableOffset(), uint32_t(rawStart + rawSize));

  StoreU32(o + h.CheckSumOffset(), ComputePeChecksum(o, out->size(), h.CheckSumOffset()));
  return PeStatus::Ok;
}
