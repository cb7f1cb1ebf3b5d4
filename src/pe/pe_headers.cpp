#include "pe/pe_headers.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint16_t kMaxSections = 96;

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool AllZero(const uint8_t* p, uint64_t from, uint64_t to) {
  for (uint64_t i = from; i < to; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

}  // namespace

uint64_t PeHeaders::RawEnd() const {
  uint64_t end = sizeOfHeaders;
  for (const PeSection& s : sections) {
    if (s.sizeOfRawData != 0) end = std::max<uint64_t>(end, uint64_t(s.pointerToRawData) + s.sizeOfRawData);
  }
  return end;
}

int PeHeaders::SectionOf(uint32_t rva) const {
  for (size_t i = 0; i < sections.size(); ++i) {
    const PeSection& s = sections[i];
    if (rva >= s.virtualAddress && uint64_t(rva) < uint64_t(s.virtualAddress) + s.MemorySize()) return int(i);
  }
  return -1;
}

bool PeHeaders::RvaToOffset(uint32_t rva, uint32_t size, uint64_t* offset) const {
  int index = SectionOf(rva);
  if (index < 0) return false;
  const PeSection& s = sections[size_t(index)];
  uint64_t within = rva - s.virtualAddress;
  if (within + size > s.sizeOfRawData) return false;
  *offset = s.pointerToRawData + within;
  return true;
}

PeStatus ReadPeHeaders(const ByteSource& source, PeHeaders* headers) {
  *headers = PeHeaders{};
  uint16_t mz = 0;
  uint32_t peOffset = 0;
  if (!source.ReadU16(0, &mz) || mz != 0x5A4D || !source.ReadU32(0x3C, &peOffset)) return PeStatus::NotPe;
  uint32_t signature = 0;
  if (!source.ReadU32(peOffset, &signature) || signature != 0x00004550) return PeStatus::NotPe;

  PeHeaders h;
  h.fileHeaderOffset = peOffset + 4;
  uint8_t fileHeader[20];
  if (!source.ReadAt(h.fileHeaderOffset, fileHeader, sizeof fileHeader)) return PeStatus::NotPe;
  uint16_t sectionCount = LoadU16(fileHeader + 2);
  h.pointerToSymbolTable = LoadU32(fileHeader + 8);
  h.numberOfSymbols = LoadU32(fileHeader + 12);
  h.sizeOfOptionalHeader = LoadU16(fileHeader + 16);
  h.optionalHeaderOffset = h.fileHeaderOffset + 20;

  uint16_t magic = 0;
  if (!source.ReadU16(h.optionalHeaderOffset, &magic)) return PeStatus::NotPe;
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) return PeStatus::NotPe;
  h.is64 = magic == kMagicPe32Plus;
  uint32_t countOffset = h.is64 ? 108 : 92;
  uint32_t fixedSize = h.is64 ? 112 : 96;
  if (h.sizeOfOptionalHeader < fixedSize) return PeStatus::NotPe;
  std::vector<uint8_t> optional(h.sizeOfOptionalHeader);
  if (!source.ReadAt(h.optionalHeaderOffset, optional.data(), optional.size())) return PeStatus::Corrupt;

  h.sizeOfInitializedData = LoadU32(&optional[8]);
  h.sectionAlignment = LoadU32(&optional[32]);
  h.fileAlignment = LoadU32(&optional[36]);
  h.sizeOfImage = LoadU32(&optional[56]);
  h.sizeOfHeaders = LoadU32(&optional[60]);
  uint32_t directoryCount = LoadU32(&optional[countOffset]);
  if (!IsPowerOfTwo(h.fileAlignment) || h.fileAlignment > 0x10000 || !IsPowerOfTwo(h.sectionAlignment) ||
      h.sectionAlignment < h.fileAlignment) {
    return PeStatus::Corrupt;
  }
  if (directoryCount > 16 || fixedSize + 8 * directoryCount > h.sizeOfOptionalHeader) return PeStatus::Corrupt;
  h.dataDirectoryOffset = h.optionalHeaderOffset + fixedSize;
  for (uint32_t i = 0; i < directoryCount; ++i) {
    h.directories.push_back({LoadU32(&optional[fixedSize + 8 * i]), LoadU32(&optional[fixedSize + 8 * i + 4])});
  }

  if (sectionCount > kMaxSections) return PeStatus::Corrupt;
  h.sectionTableOffset = h.optionalHeaderOffset + h.sizeOfOptionalHeader;
  std::vector<uint8_t> table(size_t(sectionCount) * kSectionHeaderSize);
  if (!source.ReadAt(h.sectionTableOffset, table.data(), table.size())) return PeStatus::Corrupt;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint8_t* p = &table[size_t(i) * kSectionHeaderSize];
    PeSection s;
    std::memcpy(s.name, p, 8);
    s.virtualSize = LoadU32(p + 8);
    s.virtualAddress = LoadU32(p + 12);
    s.sizeOfRawData = LoadU32(p + 16);
    s.pointerToRawData = LoadU32(p + 20);
    s.characteristics = LoadU32(p + 36);
    if (s.sizeOfRawData != 0 && !source.Contains(s.pointerToRawData, s.sizeOfRawData)) return PeStatus::Corrupt;
    if (uint64_t(s.virtualAddress) + s.MemorySize() > 0xFFFFFFFFull) return PeStatus::Corrupt;
    h.sections.push_back(s);
  }
  if (uint64_t(h.sectionTableOffset) + table.size() > h.sizeOfHeaders) return PeStatus::Corrupt;
  *headers = std::move(h);
  return PeStatus::Ok;
}

uint32_t ComputePeChecksum(const uint8_t* image, size_t size, uint32_t checkSumOffset) {
  // Plain 64-bit accumulation; folding the carries once at the end gives the
  // same result as folding after every word.
  auto byteAt = [&](size_t j) -> uint32_t {
    return (j >= checkSumOffset && j < size_t(checkSumOffset) + 4) ? 0 : image[j];
  };
  uint64_t sum = 0;
  size_t i = 0;
  for (; i + 1 < size; i += 2) {
    if (i + 2 > checkSumOffset && i < size_t(checkSumOffset) + 4) {
      sum += byteAt(i) | (byteAt(i + 1) << 8);
    } else {
      sum += LoadU16(image + i);
    }
  }
  if (i < size) sum += byteAt(i);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum + size);
}

PeStatus FindTrailingSymbols(const uint8_t* image, uint64_t size, const PeHeaders& h, TrailingSymbols* symbols) {
  uint64_t rawEnd = h.RawEnd();
  *symbols = TrailingSymbols{};
  if (size <= rawEnd) return PeStatus::Ok;
  if (h.pointerToSymbolTable >= rawEnd && h.pointerToSymbolTable < size) {
    uint64_t strings = h.pointerToSymbolTable + uint64_t(h.numberOfSymbols) * kSymbolSize;
    if (strings + 4 > size) return PeStatus::Overlay;
    uint32_t stringBytes = LoadU32(image + strings);
    if (stringBytes < 4 || strings + stringBytes > size) return PeStatus::Overlay;
    symbols->start = h.pointerToSymbolTable;
    symbols->end = strings + stringBytes;
    symbols->present = true;
    if (!AllZero(image, rawEnd, symbols->start) || !AllZero(image, symbols->end, size)) return PeStatus::Overlay;
    return PeStatus::Ok;
  }
  return AllZero(image, rawEnd, size) ? PeStatus::Ok : PeStatus::Overlay;
}
