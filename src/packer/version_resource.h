#pragma once
// The version resource of an executable (RT_VERSION 1): the fixed version
// numbers and the product name and version texts that Explorer shows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pe/byte_source.h"

struct VersionResource {
  bool hasFixed = false;
  uint16_t productVersion[4] = {};  // from VS_FIXEDFILEINFO, major first
  std::string productName;          // "ProductName" of the first string table; UTF-8
  std::string productVersionText;   // "ProductVersion" of the first string table; UTF-8
  uint16_t fileVersion[4] = {};     // from VS_FIXEDFILEINFO
  std::vector<std::pair<std::string, std::string>> strings;  // the first string table, in order; UTF-8

  // The text of a string of the first table; empty when it has none.
  std::string Text(const std::string& key) const;

  // "ProductName ProductVersion" from the texts, else the fixed numbers
  // ("1.2.3", with ".4" when the fourth is not 0); empty when there is neither.
  std::string Describe() const;
};

// Parses a VS_VERSIONINFO block; false when it is not one or is cut short.
bool ParseVersionResource(const uint8_t* data, size_t size, VersionResource* out);

// Reads and parses the version resource of a PE image (any language);
// false when there is none or it cannot be read.
bool ReadVersionResource(const ByteSource& image, VersionResource* out);

// What the packer writes into an installer's version resource; UTF-8 texts,
// empty ones left out.
struct VersionFields {
  uint16_t version[4] = {};  // FILEVERSION and PRODUCTVERSION
  std::string productName;
  std::string productVersion;
  std::string fileDescription;
  std::string fileVersion;
  std::string companyName;
  std::string legalCopyright;
  std::string originalFilename;
  std::string internalName;
  std::string comments;
};

// The four numbers of a version text: its leading numbers separated by
// dots ("1.2.3-beta" gives 1.2.3.0), each at most 65535, missing ones 0.
void VersionNumbers(const std::string& text, uint16_t numbers[4]);
// "1.2.3.0".
std::string VersionNumbersText(const uint16_t numbers[4]);

// The language (US English) and code page (Unicode) of the block written.
constexpr uint16_t kVersionLanguage = 0x0409;

// A VS_VERSIONINFO block for an application with one US English Unicode
// string table.
std::vector<uint8_t> BuildVersionResource(const VersionFields& fields);
