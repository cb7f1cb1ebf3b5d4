#pragma once
// The headers of a PE32 or PE32+ image: the parts the resource writer reads
// and patches, with the file offset of each patched field.

#include <cstdint>
#include <vector>

#include "pe/byte_source.h"
#include "pe/pe_status.h"

constexpr int kDirectoryResource = 2;
constexpr int kDirectorySecurity = 4;
constexpr int kDirectoryBaseRelocation = 5;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kSymbolSize = 18;

struct PeSection {
  char name[8] = {};
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t sizeOfRawData = 0;
  uint32_t pointerToRawData = 0;
  uint32_t characteristics = 0;
  // Extent in memory: the virtual size, or the raw size when that is 0.
  uint32_t MemorySize() const { return virtualSize != 0 ? virtualSize : sizeOfRawData; }
};

struct PeDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

struct PeHeaders {
  bool is64 = false;
  uint32_t fileHeaderOffset = 0;      // just behind "PE\0\0"
  uint32_t optionalHeaderOffset = 0;
  uint16_t sizeOfOptionalHeader = 0;
  uint32_t sectionTableOffset = 0;
  uint32_t pointerToSymbolTable = 0;
  uint32_t numberOfSymbols = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfInitializedData = 0;
  uint32_t sizeOfImage = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t dataDirectoryOffset = 0;
  std::vector<PeDirectory> directories;  // NumberOfRvaAndSizes entries
  std::vector<PeSection> sections;

  PeDirectory Directory(int index) const {
    return index < int(directories.size()) ? directories[index] : PeDirectory{};
  }
  // File offsets of the fields the writer patches.
  uint32_t NumberOfSectionsOffset() const { return fileHeaderOffset + 2; }
  uint32_t PointerToSymbolTableOffset() const { return fileHeaderOffset + 8; }
  uint32_t SizeOfInitializedDataOffset() const { return optionalHeaderOffset + 8; }
  uint32_t SizeOfImageOffset() const { return optionalHeaderOffset + 56; }
  uint32_t CheckSumOffset() const { return optionalHeaderOffset + 64; }
  uint32_t DirectoryEntryOffset(int index) const { return dataDirectoryOffset + 8 * uint32_t(index); }
  uint32_t SectionHeaderOffset(size_t index) const {
    return sectionTableOffset + kSectionHeaderSize * uint32_t(index);
  }
  // End of the last section's raw data in the file (at least SizeOfHeaders).
  uint64_t RawEnd() const;
  // The section whose memory range holds rva; -1 when none.
  int SectionOf(uint32_t rva) const;
  // File offset of [rva, rva + size) when those bytes are stored in the file.
  bool RvaToOffset(uint32_t rva, uint32_t size, uint64_t* offset) const;
};

// Reads and checks the headers: MZ and PE signatures, a PE32 or PE32+
// optional header, alignments, and a section table whose raw data lies in
// the source.
PeStatus ReadPeHeaders(const ByteSource& source, PeHeaders* headers);

// The PE checksum of image (the CheckSum field at checkSumOffset skipped):
// 16-bit one's-complement-style sum with carries folded, plus the length.
uint32_t ComputePeChecksum(const uint8_t* image, size_t size, uint32_t checkSumOffset);

// The COFF symbol and string tables that some linkers leave after the last
// section: raw bytes without file offsets inside, so they can move.
struct TrailingSymbols {
  uint64_t start = 0;
  uint64_t end = 0;
  bool present = false;
};

// Finds them in image. Ok also when there are none (zero padding behind
// the last section is harmless and may be dropped); Overlay when anything
// else follows the sections.
PeStatus FindTrailingSymbols(const uint8_t* image, uint64_t size, const PeHeaders& h, TrailingSymbols* symbols);
