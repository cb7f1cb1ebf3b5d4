#include <cstdio>

#include "packer/cli_commands.h"
#include "packer/command_inspect_common.h"
#include "packer/messages.h"
#include "packer/script_members.h"
#include "packer/sha256.h"
#include "packer/winget_manifest.h"

namespace {

// The script member, decoded and checked; empty with a message on failure.
bool ReadScriptMember(const FileSource& file, const ArchiveLocation& location, std::vector<uint8_t>* script,
                      std::string* error) {
  ArchiveListing listing;
  if (!ReadArchiveListing(file, location, &listing) || !listing.faults.empty()) {
    *error = listing.faults.empty() ? "the archive cannot be read" : listing.faults.front();
    return false;
  }
  for (const ArchiveEntryInfo& entry : listing.entries) {
    if (MemberKey(entry.name) != "setup.dat") continue;
    script->clear();
    MemberStatus status = DecodeMember(file, location, entry, [&](const uint8_t* data, size_t size) {
      script->insert(script->end(), data, data + size);
      return true;
    });
    if (status != MemberStatus::Ok) {
      *error = std::string("setup.dat: ") + MemberStatusText(status);
      return false;
    }
    return true;
  }
  *error = "the installer holds no setup.dat";
  return false;
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

}  // namespace

int CommandManifest(const Arguments& args) {
  const std::string& path = args.operands[0];
  if (!IsPackageIdentifier(args.id)) {
    return Fail(kExitBadInput, "--id '" + args.id +
                                   "' is not a package identifier: 2 to 8 parts of 1 to 32 characters joined by "
                                   "dots, such as Publisher.App, without blanks or \\ / : * ? \" < > |");
  }
  if (!IsInstallerUrl(args.url)) {
    return Fail(kExitBadInput, "--url '" + args.url + "' is not an http or https address");
  }
  FileSource file;
  ArchiveLocation location;
  if (int status = OpenArchiveFile(path, &file, &location)) return status;
  WingetInstaller installer;
  installer.architecture = location.bare ? std::string() : InstallerArchitecture(file);
  if (installer.architecture.empty()) {
    return Fail(kExitBadInput, path + ": not an x86 or x64 installer built by plovepack");
  }
  std::vector<uint8_t> script;
  std::string error;
  if (!ReadScriptMember(file, location, &script, &error)) return Fail(kExitBadInput, path + ": " + error);
  installer.product = ReadWingetProduct(script.data(), script.size());
  if (!installer.product.hasName || installer.product.name.empty()) {
    return Fail(kExitBadInput, path + ": the script has no [Project Name], which names the product for winget");
  }
  installer.version = args.version.empty() ? installer.product.version : args.version;
  if (installer.version.empty()) {
    return Fail(kExitBadInput, path + ": the script's [ProgramVersion] is empty or missing; give --version");
  }
  if (!IsPackageVersion(installer.version)) {
    return Fail(kExitBadInput, "version '" + installer.version +
                                   "' is not a package version: 1 to 128 characters without \\ / : * ? \" < > |");
  }
  installer.identifier = args.id;
  installer.url = args.url;
  if (!HashFile(file, &installer.sha256)) return Fail(kExitIoFailure, "cannot read '" + path + "'");

  std::string text = WriteWingetManifest(installer);
  if (args.output.empty()) {
    std::fputs(text.c_str(), stdout);
  } else if (!WriteFileAtomically(args.output, reinterpret_cast<const uint8_t*>(text.data()), text.size())) {
    return Fail(kExitIoFailure, "cannot write '" + args.output + "'");
  }
  return kExitOk;
}
