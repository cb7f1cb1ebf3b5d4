#pragma once
// The version resource of an executable (RT_VERSION 1): the fixed version
// numbers and the product name and version texts that Explorer shows.

#include <cstddef>
#include <cstdint>
#include <string>

#include "pe/byte_source.h"

struct VersionResource {
  bool hasFixed = false;
  uint16_t productVersion[4] = {};  // from VS_FIXEDFILEINFO, major first
  std::string productName;          // "ProductName" of the first string table; UTF-8
  std::string productVersionText;   // "ProductVersion" of the first string table; UTF-8

  // "ProductName ProductVersion" from the texts, else the fixed numbers
  // ("1.2.3", with ".4" when the fourth is not 0); empty when there is neither.
  std::string Describe() const;
};

// Parses a VS_VERSIONINFO block; false when it is not one or is cut short.
bool ParseVersionResource(const uint8_t* data, size_t size, VersionResource* out);

// Reads and parses the version resource of a PE image (any language);
// false when there is none or it cannot be read.
bool ReadVersionResource(const ByteSource& image, VersionResource* out);
