#pragma once
// Small PE32 and PE32+ images made in memory for the writer's tests: a DOS
// header, the NT headers, and the sections asked for, each filled with a
// recognisable byte pattern.

#include <cstdint>
#include <string>
#include <vector>

#include "pe/resource_tree.h"

struct SyntheticSection {
  std::string name;
  std::vector<uint8_t> data;  // raw data; its size is also the virtual size
  uint32_t characteristics = 0x60000020;
};

struct SyntheticImage {
  bool is64 = false;
  std::vector<SyntheticSection> sections;
  int resourceSection = -1;  // index of the section that holds the resource tree
  ResourceTree resources;    // laid out into that section when it is set
  bool resourcesRaw = false; // the section's data is the resource directory as given
  int relocationSection = -1;  // index of the section the base relocation directory names
  uint32_t fileAlignment = 0x200;
  uint32_t sectionAlignment = 0x1000;
  uint32_t sizeOfHeaders = 0x400;
  // Offsets to patch after layout.
  uint32_t securityRva = 0, securitySize = 0;
};

// Lays the image out. Section i starts at RVA 0x1000 * (i + 1) (alignment
// permitting) and at the next file-aligned offset.
std::vector<uint8_t> BuildImage(const SyntheticImage& layout);

// Reads one 32-bit field.
uint32_t U32At(const std::vector<uint8_t>& image, size_t offset);
