#include "pe/icon_resource.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "pe/pe_headers.h"

namespace {

constexpr size_t kDirectoryHeader = 6;
constexpr size_t kFileEntry = 16;
constexpr size_t kGroupEntry = 14;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void Put16(std::vector<uint8_t>* out, uint32_t value) {
  out->push_back(uint8_t(value));
  out->push_back(uint8_t(value >> 8));
}

// The RT_ICON numbers a group's directory lists.
std::vector<uint16_t> GroupMembers(const std::vector<uint8_t>& group) {
  std::vector<uint16_t> ids;
  if (group.size() < kDirectoryHeader) return ids;
  size_t count = LoadU16(group.data() + 4);
  for (size_t i = 0; i < count && kDirectoryHeader + (i + 1) * kGroupEntry <= group.size(); ++i) {
    ids.push_back(uint16_t(LoadU16(group.data() + kDirectoryHeader + i * kGroupEntry + 12)));
  }
  return ids;
}

ResourceType* FindType(ResourceTree* tree, uint16_t type) {
  for (ResourceType& t : tree->types) {
    if (t.type == ResourceKey::Id(type)) return &t;
  }
  return nullptr;
}

}  // namespace

bool ParseIconFile(const uint8_t* data, size_t size, std::vector<IconImage>* images, std::string* error) {
  images->clear();
  if (size < kDirectoryHeader || LoadU16(data) != 0 || LoadU16(data + 2) != 1) {
    *error = "not an icon file (no .ico header)";
    return false;
  }
  size_t count = LoadU16(data + 4);
  if (count == 0) {
    *error = "the icon file holds no images";
    return false;
  }
  if (kDirectoryHeader + count * kFileEntry > size) {
    *error = "the icon file is cut short";
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + kDirectoryHeader + i * kFileEntry;
    uint64_t bytes = LoadU32(entry + 8), offset = LoadU32(entry + 12);
    if (bytes < 40 || offset + bytes > size) {
      *error = "image " + std::to_string(i + 1) + " of the icon file lies outside it";
      return false;
    }
    const uint8_t* image = data + offset;
    bool png = std::memcmp(image, kPngSignature, sizeof kPngSignature) == 0;
    bool dib = LoadU32(image) == 40;
    if (!png && !dib) {
      *error = "image " + std::to_string(i + 1) + " of the icon file is neither PNG nor a bitmap";
      return false;
    }
    IconImage icon;
    icon.width = entry[0];
    icon.height = entry[1];
    icon.colorCount = entry[2];
    icon.planes = uint16_t(LoadU16(entry + 4));
    icon.bitCount = uint16_t(LoadU16(entry + 6));
    icon.data.assign(image, image + bytes);
    images->push_back(std::move(icon));
  }
  return true;
}

PeStatus ReplaceFirstIconGroup(const std::vector<IconImage>& images, ResourceTree* tree) {
  ResourceType* groups = FindType(tree, kResourceTypeGroupIcon);
  ResourceKey groupName = ResourceKey::Id(1);
  std::vector<ResourceKey> languages;
  std::set<uint16_t> oldIcons, keptIcons;
  if (groups != nullptr && !groups->names.empty()) {
    // Named entries come first in the directory, as the shell reads it.
    ResourceName& first = groups->names.front();
    groupName = first.name;
    for (const ResourceLanguage& language : first.languages) {
      languages.push_back(language.language);
      for (uint16_t id : GroupMembers(language.data)) oldIcons.insert(id);
    }
    for (size_t i = 1; i < groups->names.size(); ++i) {
      for (const ResourceLanguage& language : groups->names[i].languages) {
        for (uint16_t id : GroupMembers(language.data)) keptIcons.insert(id);
      }
    }
  }
  if (languages.empty()) languages.push_back(ResourceKey::Id(kLanguageNeutral));
  for (uint16_t id : oldIcons) {
    if (keptIcons.count(id) == 0) tree->Remove(kResourceTypeIcon, id);
  }
  uint32_t next = 1;
  if (ResourceType* icons = FindType(tree, kResourceTypeIcon)) {
    for (const ResourceName& name : icons->names) {
      if (!name.name.isName) next = std::max<uint32_t>(next, uint32_t(name.name.id) + 1);
    }
  }
  if (next + images.size() > 0xFFFF) return PeStatus::TooLarge;

  std::vector<uint8_t> group;
  Put16(&group, 0);
  Put16(&group, 1);
  Put16(&group, uint32_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    const uint16_t id = uint16_t(next + i);
    group.push_back(image.width);
    group.push_back(image.height);
    group.push_back(image.colorCount);
    group.push_back(0);
    Put16(&group, image.planes);
    Put16(&group, image.bitCount);
    Put16(&group, uint32_t(image.data.size()) & 0xFFFF);
    Put16(&group, uint32_t(image.data.size()) >> 16);
    Put16(&group, id);
    for (const ResourceKey& language : languages) {
      tree->Set(kResourceTypeIcon, id, language.id, image.data.data(), image.data.size());
    }
  }
  groups = FindType(tree, kResourceTypeGroupIcon);
  if (groups != nullptr && !groups->names.empty() && groups->names.front().name == groupName) {
    for (ResourceLanguage& language : groups->names.front().languages) {
      language.data = group;
      language.dataSize = uint32_t(group.size());
    }
    return PeStatus::Ok;
  }
  tree->Set(kResourceTypeGroupIcon, groupName.id, languages.front().id, group.data(), group.size());
  return PeStatus::Ok;
}
