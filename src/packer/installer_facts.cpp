#include "packer/installer_facts.h"

#include <algorithm>

#include "packer/script_members.h"
#include "packer/sha256.h"

MemberRead ReadMemberNamed(const FileSource& file, const ArchiveLocation& location, const std::string& name,
                           std::vector<uint8_t>* data, std::string* error) {
  ArchiveListing listing;
  if (!ReadArchiveListing(file, location, &listing) || !listing.faults.empty()) {
    *error = listing.faults.empty() ? "the archive cannot be read" : listing.faults.front();
    return MemberRead::Failed;
  }
  for (const ArchiveEntryInfo& entry : listing.entries) {
    if (MemberKey(entry.name) != MemberKey(name)) continue;
    data->clear();
    MemberStatus status = DecodeMember(file, location, entry, [&](const uint8_t* bytes, size_t size) {
      data->insert(data->end(), bytes, bytes + size);
      return true;
    });
    if (status != MemberStatus::Ok) {
      *error = name + ": " + MemberStatusText(status);
      return MemberRead::Failed;
    }
    return MemberRead::Found;
  }
  return MemberRead::Missing;
}

bool HashFile(const FileSource& file, std::string* hex) {
  Sha256 hash;
  std::vector<uint8_t> chunk(1u << 20);
  for (uint64_t at = 0; at < file.Size(); at += chunk.size()) {
    size_t take = size_t(std::min<uint64_t>(chunk.size(), file.Size() - at));
    if (!file.ReadAt(at, chunk.data(), take)) return false;
    hash.Update(chunk.data(), take);
  }
  *hex = HexDigest(hash.Finish());
  return true;
}
