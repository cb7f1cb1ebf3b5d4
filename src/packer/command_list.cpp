#include <cstdio>

#include "packer/cli_commands.h"
#include "packer/command_inspect_common.h"
#include "packer/messages.h"
#include "packer/platform_files.h"
#include "packer/script_members.h"
#include "packer/version_resource.h"

int OpenArchiveFile(const std::string& path, FileSource* file, ArchiveLocation* location) {
  if (KindOfPath(path) != PathKind::File) return Fail(kExitBadInput, "'" + path + "' not found");
  if (!file->Open(path)) return Fail(kExitIoFailure, "cannot open '" + path + "'");
  std::string error;
  if (!LocateArchive(*file, location, &error)) return Fail(kExitBadInput, path + ": " + error);
  return kExitOk;
}

int CommandList(const Arguments& args) {
  const std::string& path = args.operands[0];
  FileSource file;
  ArchiveLocation location;
  if (int status = OpenArchiveFile(path, &file, &location)) return status;
  VersionResource version;
  if (!location.bare && ReadVersionResource(file, &version)) {
    std::printf("version resource: %s\n", version.Describe().c_str());
    if (version.hasFixed) std::printf("  file version: %s\n", VersionNumbersText(version.fileVersion).c_str());
    for (const auto& [key, value] : version.strings) std::printf("  %s: %s\n", key.c_str(), value.c_str());
  }
  ArchiveListing listing;
  bool readable = ReadArchiveListing(file, location, &listing);
  if (readable) {
    uint64_t packed = 0, unpacked = 0;
    std::printf("%12s %12s  %-6s  %-10s  %s\n", "packed", "unpacked", "method", "packed sum", "name");
    for (const ArchiveEntryInfo& entry : listing.entries) {
      std::printf("%12u %12u  %-6s  0x%08X  %s\n", entry.packedSize, entry.unpackedSize,
                  MethodName(MethodOfMember(file, location, entry)), entry.packedSum,
                  Cp1252ToUtf8(entry.name).c_str());
      packed += entry.packedSize;
      unpacked += entry.unpackedSize;
    }
    std::printf("%zu members, %llu bytes packed, %llu bytes unpacked, archive %llu bytes, checksum 0x%08X\n",
                listing.entries.size(), static_cast<unsigned long long>(packed),
                static_cast<unsigned long long>(unpacked), static_cast<unsigned long long>(location.size),
                listing.storedChecksum);
  }
  for (const std::string& fault : listing.faults) PrintWarning(path + ": " + fault);
  return listing.faults.empty() ? kExitOk : kExitBadInput;
}
