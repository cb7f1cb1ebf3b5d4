#pragma once
// The resource tree of an image (type, then name, then language), read from
// its resource directory and written back as a new resource section.

#include <cstdint>
#include <string>
#include <vector>

#include "pe/byte_source.h"
#include "pe/pe_headers.h"
#include "pe/pe_status.h"

constexpr uint16_t kResourceTypeRcData = 10;
constexpr uint16_t kLanguageNeutral = 0;

// A directory entry's key: a 16-bit number, or a name.
struct ResourceKey {
  bool isName = false;
  uint16_t id = 0;
  std::u16string name;

  static ResourceKey Id(uint16_t value) { return ResourceKey{false, value, {}}; }
  bool operator==(const ResourceKey& other) const {
    return isName == other.isName && (isName ? name == other.name : id == other.id);
  }
};

struct ResourceLanguage {
  ResourceKey language;
  uint32_t codePage = 0;
  uint32_t dataRva = 0;        // where the data was found (reading only)
  uint32_t dataSize = 0;       // as stated in the data entry
  std::vector<uint8_t> data;   // filled when read with data, and by Set
  // The data lies elsewhere and the caller writes where: the data entry
  // gets dataSize and a zero address, and no bytes are laid out for it.
  bool deferred = false;
};

struct ResourceName {
  ResourceKey name;
  std::vector<ResourceLanguage> languages;
};

struct ResourceType {
  ResourceKey type;
  std::vector<ResourceName> names;
};

struct ResourceTree {
  std::vector<ResourceType> types;

  // Adds the resource, or replaces the data of the one with the same type,
  // name and language. Numbered entries are kept in ascending order.
  void Set(uint16_t type, uint16_t name, uint16_t language, const uint8_t* data, size_t size);
  // Removes every language version of the numbered resource (and the type
  // when it is left empty).
  void Remove(uint16_t type, uint16_t name);
  const ResourceLanguage* Find(uint16_t type, uint16_t name, uint16_t language) const;
  size_t LeafCount() const;
};

// Reads the tree behind the resource directory of headers. With withData
// the data of every leaf is copied out of the source; without it only
// dataRva and dataSize are filled. An image without resources gives an
// empty tree. Corrupt when an offset leads outside the section or the data
// is not stored in the file.
PeStatus ReadResourceTree(const ByteSource& source, const PeHeaders& headers, bool withData, ResourceTree* tree);

// Where BuildResourceSection put a deferred leaf: the offsets, from the
// section's start, of its data entry and of the directory that lists the
// names of its type.
struct DeferredLeaf {
  uint32_t dataEntry = 0;
  uint32_t nameDirectory = 0;
};

// Lays out tree as the content of a resource section that will live at
// sectionRva: the directories, then the data entries, the names and the
// data, each data block 8-byte aligned. TooLarge when the section would
// reach 4 GiB. deferred, when given, receives the deferred leaves in the
// order of their data entries.
PeStatus BuildResourceSection(const ResourceTree& tree, uint32_t sectionRva, std::vector<uint8_t>* out,
                              std::vector<DeferredLeaf>* deferred = nullptr);

// Finds one resource without reading anything but directories: its file
// offset and size. language -1 takes the first language present.
PeStatus LocateResource(const ByteSource& source, uint16_t type, uint16_t name, int language, uint64_t* offset,
                        uint32_t* size);
