#include "packer/cli_commands.h"
#include "packer/command_inspect_common.h"
#include "packer/messages.h"
#include "pe/import_table.h"

int CommandVerify(const Arguments& args) {
  const std::string& path = args.operands[0];
  FileSource file;
  ArchiveLocation location;
  if (int status = OpenArchiveFile(path, &file, &location)) return status;
  std::vector<std::string> faults = VerifyArchive(file, location);
  for (std::string& fault : LoadTimeImportFaults(file)) faults.push_back(std::move(fault));
  for (const std::string& fault : faults) PrintLine(path + ": " + fault);
  if (!faults.empty()) return kExitBadInput;
  ArchiveListing listing;
  (void)ReadArchiveListing(file, location, &listing);
  PrintLine(path + ": OK, " + std::to_string(listing.entries.size()) + " members");
  return kExitOk;
}
