#include "payload_builder.h"

#include "payload/archive_format.h"
#include "payload/lzma_alone.h"

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
