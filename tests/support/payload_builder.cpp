#include "payload_builder.h"

#include "payload/archive_format.h"
#include "payload/lzma_alone.h"

std::string PseudoText(int seed, size_t size, int letters) {
  std::string text(size, ' ');
  uint32_t state = static_cast<uint32_t>(seed) * 2654435761u + 1;
  for (char& c : text) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>('a' + (state >> 16) % static_cast<uint32_t>(letters));
  }
  return text;
}

PackedMember QuickMember(const std::string& name, const std::string& content) {
  PackedMember member{name, {}, static_cast<uint32_t>(content.size())};
  LzmaOptions fast;
  fast.preset = 1;
  CompressLzmaAlone(reinterpret_cast<const uint8_t*>(content.data()), content.size(), fast, member.packed);
  return member;
}

std::vector<uint8_t> BuildTestPayload(const std::vector<std::pair<std::string, std::string>>& members) {
  std::vector<PackedMember> packed;
  for (const auto& [name, content] : members) {
    PackedMember member;
    member.name = name;
    member.unpackedSize = static_cast<uint32_t>(content.size());
    if (!CompressLzmaAlone(reinterpret_cast<const uint8_t*>(content.data()), content.size(), LzmaOptions(),
                           member.packed)) {
      return {};
    }
    packed.push_back(std::move(member));
  }
  std::vector<uint8_t> archive;
  if (WriteArchive(packed, archive) != ArchiveWriteStatus::Ok) return {};
  return archive;
}
