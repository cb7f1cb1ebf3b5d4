#include "pe/resource_tree.h"

#include <algorithm>

namespace {

constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
constexpr size_t kMaxLeaves = 1u << 16;
// Directories may share subdirectories; this bounds the work on a tree
// built to repeat itself.
constexpr size_t kMaxEntriesVisited = 1u << 20;
constexpr uint64_t kMaxSection = 0xFFFFFFFFull;

// The resource directory as the reader sees it: offsets inside it are
// relative to its start and must stay inside the section that holds it.
struct DirectoryView {
  const ByteSource& source;
  const PeHeaders& headers;
  uint64_t base;   // file offset of the root directory
  uint64_t limit;  // bytes readable from base
  bool withData;
  size_t leaves = 0;
  size_t entriesVisited = 0;

  bool Read(uint32_t offset, void* buffer, size_t size) const {
    return offset <= limit && size <= limit - offset && source.ReadAt(base + offset, buffer, size);
  }
};

// Entries of one directory: their keys and the offsets they point to.
struct RawEntry {
  ResourceKey key;
  uint32_t target;
};

PeStatus ReadKey(const DirectoryView& view, uint32_t nameField, ResourceKey* key) {
  if ((nameField & kSubdirectoryBit) == 0) {
    if (nameField > 0xFFFF) return PeStatus::Corrupt;
    *key = ResourceKey::Id(uint16_t(nameField));
    return PeStatus::Ok;
  }
  uint32_t offset = nameField & ~kSubdirectoryBit;
  uint8_t lengthBytes[2];
  if (!view.Read(offset, lengthBytes, 2)) return PeStatus::Corrupt;
  uint16_t length = LoadU16(lengthBytes);
  std::vector<uint8_t> bytes(size_t(length) * 2);
  if (!view.Read(offset + 2, bytes.data(), bytes.size())) return PeStatus::Corrupt;
  key->isName = true;
  key->id = 0;
  key->name.resize(length);
  for (uint16_t i = 0; i < length; ++i) key->name[i] = char16_t(LoadU16(&bytes[size_t(i) * 2]));
  return PeStatus::Ok;
}

PeStatus ReadEntries(DirectoryView& view, uint32_t offset, std::vector<RawEntry>* entries) {
  uint8_t header[kDirectoryHeaderSize];
  if (!view.Read(offset, header, sizeof header)) return PeStatus::Corrupt;
  uint32_t count = uint32_t(LoadU16(header + 12)) + LoadU16(header + 14);
  view.entriesVisited += count + 1;
  if (view.entriesVisited > kMaxEntriesVisited) return PeStatus::Corrupt;
  std::vector<uint8_t> raw(size_t(count) * kEntrySize);
  if (!view.Read(offset + kDirectoryHeaderSize, raw.data(), raw.size())) return PeStatus::Corrupt;
  entries->clear();
  for (uint32_t i = 0; i < count; ++i) {
    RawEntry entry;
    PeStatus status = ReadKey(view, LoadU32(&raw[i * kEntrySize]), &entry.key);
    if (status != PeStatus::Ok) return status;
    entry.target = LoadU32(&raw[i * kEntrySize + 4]);
    entries->push_back(std::move(entry));
  }
  return PeStatus::Ok;
}

PeStatus ReadLeaf(DirectoryView& view, const RawEntry& entry, ResourceLanguage* leaf) {
  if ((entry.target & kSubdirectoryBit) != 0) return PeStatus::Corrupt;
  if (++view.leaves > kMaxLeaves) return PeStatus::Corrupt;
  uint8_t dataEntry[kDataEntrySize];
  if (!view.Read(entry.target, dataEntry, sizeof dataEntry)) return PeStatus::Corrupt;
  leaf->language = entry.key;
  leaf->dataRva = LoadU32(dataEntry);
  leaf->dataSize = LoadU32(dataEntry + 4);
  leaf->codePage = LoadU32(dataEntry + 8);
  uint64_t fileOffset = 0;
  if (!view.headers.RvaToOffset(leaf->dataRva, leaf->dataSize, &fileOffset)) return PeStatus::Corrupt;
  if (view.withData) {
    leaf->data.resize(leaf->dataSize);
    if (!view.source.ReadAt(fileOffset, leaf->data.data(), leaf->data.size())) return PeStatus::Corrupt;
  }
  return PeStatus::Ok;
}

// Keeps named entries first, in the order they came, and numbered entries
// after them in ascending order; returns where key belongs.
template <typename Node, typename KeyOf>
typename std::vector<Node>::iterator InsertionPoint(std::vector<Node>& nodes, uint16_t id, KeyOf keyOf) {
  return std::find_if(nodes.begin(), nodes.end(), [&](const Node& node) {
    const ResourceKey& key = keyOf(node);
    return !key.isName && key.id >= id;
  });
}

}  // namespace

void ResourceTree::Set(uint16_t type, uint16_t name, uint16_t language, const uint8_t* data, size_t size) {
  auto typeIt = InsertionPoint(types, type, [](const ResourceType& t) -> const ResourceKey& { return t.type; });
  if (typeIt == types.end() || !(typeIt->type == ResourceKey::Id(type))) {
    typeIt = types.insert(typeIt, ResourceType{ResourceKey::Id(type), {}});
  }
  auto& names = typeIt->names;
  auto nameIt = InsertionPoint(names, name, [](const ResourceName& n) -> const ResourceKey& { return n.name; });
  if (nameIt == names.end() || !(nameIt->name == ResourceKey::Id(name))) {
    nameIt = names.insert(nameIt, ResourceName{ResourceKey::Id(name), {}});
  }
  auto& languages = nameIt->languages;
  auto langIt =
      InsertionPoint(languages, language, [](const ResourceLanguage& l) -> const ResourceKey& { return l.language; });
  if (langIt == languages.end() || !(langIt->language == ResourceKey::Id(language))) {
    langIt = languages.insert(langIt, ResourceLanguage{});
    langIt->language = ResourceKey::Id(language);
  }
  langIt->codePage = 0;
  langIt->dataRva = 0;
  langIt->dataSize = uint32_t(size);
  langIt->data.assign(data, data + size);
}

void ResourceTree::Remove(uint16_t type, uint16_t name) {
  for (auto t = types.begin(); t != types.end(); ++t) {
    if (!(t->type == ResourceKey::Id(type))) continue;
    auto& names = t->names;
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const ResourceName& n) { return n.name == ResourceKey::Id(name); }),
                names.end());
    if (names.empty()) types.erase(t);
    return;
  }
}

const ResourceLanguage* ResourceTree::Find(uint16_t type, uint16_t name, uint16_t language) const {
  for (const ResourceType& t : types) {
    if (!(t.type == ResourceKey::Id(type))) continue;
    for (const ResourceName& n : t.names) {
      if (!(n.name == ResourceKey::Id(name))) continue;
      for (const ResourceLanguage& l : n.languages) {
        if (l.language == ResourceKey::Id(language)) return &l;
      }
    }
  }
  return nullptr;
}

size_t ResourceTree::LeafCount() const {
  size_t count = 0;
  for (const ResourceType& t : types) {
    for (const ResourceName& n : t.names) count += n.languages.size();
  }
  return count;
}

static PeStatus OpenDirectory(const ByteSource& source, const PeHeaders& headers, uint64_t* base, uint64_t* limit) {
  PeDirectory dir = headers.Directory(kDirectoryResource);
  int index = headers.SectionOf(dir.rva);
  if (index < 0) return PeStatus::Corrupt;
  const PeSection& s = headers.sections[size_t(index)];
  uint32_t within = dir.rva - s.virtualAddress;
  if (within >= s.sizeOfRawData) return PeStatus::Corrupt;
  *base = uint64_t(s.pointerToRawData) + within;
  *limit = s.sizeOfRawData - within;
  if (!source.Contains(*base, *limit)) return PeStatus::Corrupt;
  return PeStatus::Ok;
}

PeStatus ReadResourceTree(const ByteSource& source, const PeHeaders& headers, bool withData, ResourceTree* tree) {
  tree->types.clear();
  if (headers.Directory(kDirectoryResource).rva == 0) return PeStatus::Ok;
  uint64_t base = 0, limit = 0;
  PeStatus status = OpenDirectory(source, headers, &base, &limit);
  if (status != PeStatus::Ok) return status;
  DirectoryView view{source, headers, base, limit, withData};

  std::vector<RawEntry> typeEntries, nameEntries, languageEntries;
  if ((status = ReadEntries(view, 0, &typeEntries)) != PeStatus::Ok) return status;
  for (const RawEntry& typeEntry : typeEntries) {
    if ((typeEntry.target & kSubdirectoryBit) == 0) return PeStatus::Corrupt;
    ResourceType type{typeEntry.key, {}};
    status = ReadEntries(view, typeEntry.target & ~kSubdirectoryBit, &nameEntries);
    if (status != PeStatus::Ok) return status;
    for (const RawEntry& nameEntry : nameEntries) {
      if ((nameEntry.target & kSubdirectoryBit) == 0) return PeStatus::Corrupt;
      ResourceName name{nameEntry.key, {}};
      status = ReadEntries(view, nameEntry.target & ~kSubdirectoryBit, &languageEntries);
      if (status != PeStatus::Ok) return status;
      for (const RawEntry& languageEntry : languageEntries) {
        ResourceLanguage leaf;
        if ((status = ReadLeaf(view, languageEntry, &leaf)) != PeStatus::Ok) return status;
        name.languages.push_back(std::move(leaf));
      }
      type.names.push_back(std::move(name));
    }
    tree->types.push_back(std::move(type));
  }
  return PeStatus::Ok;
}

PeStatus LocateResource(const ByteSource& source, uint16_t type, uint16_t name, int language, uint64_t* offset,
                        uint32_t* size) {
  PeHeaders headers;
  PeStatus status = ReadPeHeaders(source, &headers);
  if (status != PeStatus::Ok) return status;
  if (headers.Directory(kDirectoryResource).rva == 0) return PeStatus::NotFound;
  uint64_t base = 0, limit = 0;
  if ((status = OpenDirectory(source, headers, &base, &limit)) != PeStatus::Ok) return status;
  DirectoryView view{source, headers, base, limit, false};

  std::vector<RawEntry> entries;
  uint32_t directory = 0;
  const uint16_t wanted[2] = {type, name};
  for (uint16_t id : wanted) {
    if ((status = ReadEntries(view, directory, &entries)) != PeStatus::Ok) return status;
    auto it = std::find_if(entries.begin(), entries.end(), [&](const RawEntry& e) { return e.key == ResourceKey::Id(id); });
    if (it == entries.end()) return PeStatus::NotFound;
    if ((it->target & kSubdirectoryBit) == 0) return PeStatus::Corrupt;
    directory = it->target & ~kSubdirectoryBit;
  }
  if ((status = ReadEntries(view, directory, &entries)) != PeStatus::Ok) return status;
  for (const RawEntry& entry : entries) {
    if (language >= 0 && !(entry.key == ResourceKey::Id(uint16_t(language)))) continue;
    ResourceLanguage leaf;
    if ((status = ReadLeaf(view, entry, &leaf)) != PeStatus::Ok) return status;
    if (!headers.RvaToOffset(leaf.dataRva, leaf.dataSize, offset)) return PeStatus::Corrupt;
    *size = leaf.dataSize;
    return PeStatus::Ok;
  }
  return PeStatus::NotFound;
}

PeStatus BuildResourceSection(const ResourceTree& tree, uint32_t sectionRva, std::vector<uint8_t>* out,
                              std::vector<DeferredLeaf>* deferred) {
  out->clear();
  if (deferred != nullptr) deferred->clear();
  // Sizes of the three directory levels, then of the data entries and names.
  uint64_t directoryBytes = kDirectoryHeaderSize + kEntrySize * tree.types.size();
  size_t leafCount = 0;
  uint64_t nameBytes = 0;
  auto nameSize = [](const ResourceKey& key) -> uint64_t { return key.isName ? 2 + 2 * key.name.size() : 0; };
  for (const ResourceType& t : tree.types) {
    nameBytes += nameSize(t.type);
    directoryBytes += kDirectoryHeaderSize + kEntrySize * t.names.size();
    for (const ResourceName& n : t.names) {
      nameBytes += nameSize(n.name);
      directoryBytes += kDirectoryHeaderSize + kEntrySize * n.languages.size();
      for (const ResourceLanguage& l : n.languages) nameBytes += nameSize(l.language);
      leafCount += n.languages.size();
    }
  }
  uint64_t dataEntryStart = directoryBytes;
  uint64_t nameStart = dataEntryStart + kDataEntrySize * leafCount;
  uint64_t dataStart = (nameStart + nameBytes + 7) & ~uint64_t(7);
  uint64_t total = dataStart;
  for (const ResourceType& t : tree.types) {
    for (const ResourceName& n : t.names) {
      for (const ResourceLanguage& l : n.languages) {
        if (!l.deferred) total = ((total + l.data.size()) + 7) & ~uint64_t(7);
      }
    }
  }
  if (total + sectionRva > kMaxSection || total > kMaxSection) return PeStatus::TooLarge;

  out->assign(size_t(total), 0);
  uint8_t* base = out->data();
  uint32_t nextDirectory = 0;
  uint32_t nextDataEntry = uint32_t(dataEntryStart);
  uint32_t nextName = uint32_t(nameStart);
  uint32_t nextData = uint32_t(dataStart);

  auto writeKey = [&](uint8_t* entry, const ResourceKey& key) {
    if (!key.isName) {
      StoreU32(entry, key.id);
      return;
    }
    StoreU32(entry, nextName | kSubdirectoryBit);
    StoreU16(base + nextName, uint16_t(key.name.size()));
    for (size_t i = 0; i < key.name.size(); ++i) StoreU16(base + nextName + 2 + 2 * i, uint16_t(key.name[i]));
    nextName += uint32_t(2 + 2 * key.name.size());
  };
  // Directory headers count named entries first, as the entries are stored.
  auto writeHeader = [&](uint32_t at, size_t named, size_t numbered) {
    StoreU16(base + at + 12, uint16_t(named));
    StoreU16(base + at + 14, uint16_t(numbered));
  };
  auto countNamed = [](auto& nodes, auto keyOf) {
    size_t named = 0;
    for (auto& node : nodes) named += keyOf(node).isName ? 1 : 0;
    return named;
  };

  // Breadth first: root, then every type directory, then every name directory.
  uint32_t root = nextDirectory;
  nextDirectory += uint32_t(kDirectoryHeaderSize + kEntrySize * tree.types.size());
  size_t typeNamed = countNamed(tree.types, [](const ResourceType& t) -> const ResourceKey& { return t.type; });
  writeHeader(root, typeNamed, tree.types.size() - typeNamed);
  std::vector<uint32_t> typeDirectories;
  for (size_t i = 0; i < tree.types.size(); ++i) {
    const ResourceType& t = tree.types[i];
    uint8_t* entry = base + root + kDirectoryHeaderSize + kEntrySize * i;
    writeKey(entry, t.type);
    StoreU32(entry + 4, nextDirectory | kSubdirectoryBit);
    typeDirectories.push_back(nextDirectory);
    nextDirectory += uint32_t(kDirectoryHeaderSize + kEntrySize * t.names.size());
  }
  std::vector<uint32_t> nameDirectories;
  for (size_t i = 0; i < tree.types.size(); ++i) {
    const ResourceType& t = tree.types[i];
    size_t named = countNamed(t.names, [](const ResourceName& n) -> const ResourceKey& { return n.name; });
    writeHeader(typeDirectories[i], named, t.names.size() - named);
    for (size_t j = 0; j < t.names.size(); ++j) {
      uint8_t* entry = base + typeDirectories[i] + kDirectoryHeaderSize + kEntrySize * j;
      writeKey(entry, t.names[j].name);
      StoreU32(entry + 4, nextDirectory | kSubdirectoryBit);
      nameDirectories.push_back(nextDirectory);
      nextDirectory += uint32_t(kDirectoryHeaderSize + kEntrySize * t.names[j].languages.size());
    }
  }
  size_t directoryIndex = 0;
  for (size_t i = 0; i < tree.types.size(); ++i) {
    const ResourceType& t = tree.types[i];
    for (const ResourceName& n : t.names) {
      uint32_t at = nameDirectories[directoryIndex++];
      size_t named = countNamed(n.languages, [](const ResourceLanguage& l) -> const ResourceKey& { return l.language; });
      writeHeader(at, named, n.languages.size() - named);
      for (size_t k = 0; k < n.languages.size(); ++k) {
        const ResourceLanguage& l = n.languages[k];
        uint8_t* entry = base + at + kDirectoryHeaderSize + kEntrySize * k;
        writeKey(entry, l.language);
        StoreU32(entry + 4, nextDataEntry);
        uint8_t* dataEntry = base + nextDataEntry;
        if (l.deferred) {
          StoreU32(dataEntry + 4, l.dataSize);
          StoreU32(dataEntry + 8, l.codePage);
          if (deferred != nullptr) deferred->push_back({nextDataEntry, typeDirectories[i]});
          nextDataEntry += kDataEntrySize;
          continue;
        }
        StoreU32(dataEntry, sectionRva + nextData);
        StoreU32(dataEntry + 4, uint32_t(l.data.size()));
        StoreU32(dataEntry + 8, l.codePage);
        nextDataEntry += kDataEntrySize;
        if (!l.data.empty()) std::copy(l.data.begin(), l.data.end(), base + nextData);
        nextData = uint32_t((uint64_t(nextData) + l.data.size() + 7) & ~uint64_t(7));
      }
    }
  }
  return PeStatus::Ok;
}
