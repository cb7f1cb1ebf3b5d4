#include <set>

#include "packer/cli_commands.h"
#include "packer/command_inspect_common.h"
#include "packer/messages.h"
#include "packer/platform_files.h"
#include "packer/script_members.h"

namespace {

// A member name that stays inside the output folder: relative, no drive or
// stream colon, no ".." level.
bool IsSafeMemberPath(const std::string& name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string::npos) end = name.size();
    std::string level = name.substr(start, end - start);
    if (level.empty() || level == "." || level == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string ParentOf(const std::string& path) {
  size_t cut = path.find_last_of(std::string("/") + PathSeparator());
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

int CommandExtract(const Arguments& args) {
  const std::string& path = args.operands[0];
  FileSource file;
  ArchiveLocation location;
  if (int status = OpenArchiveFile(path, &file, &location)) return status;
  ArchiveListing listing;
  if (!ReadArchiveListing(file, location, &listing)) {
    for (const std::string& fault : listing.faults) PrintLine(path + ": " + fault);
    return Fail(kExitBadInput, path + ": the archive cannot be read");
  }

  std::set<std::string> wanted;
  for (size_t i = 1; i < args.operands.size(); ++i) {
    std::string name;
    if (!Utf8ToCp1252(args.operands[i], &name)) {
      return Fail(kExitBadInput, "member name '" + args.operands[i] + "' cannot be written in Windows-1252");
    }
    wanted.insert(MemberKey(name));
  }
  if (!MakeFolderTree(args.output)) return Fail(kExitIoFailure, "cannot create folder '" + args.output + "'");

  int result = kExitOk;
  std::set<std::string> found;
  SolidBlockCache blocks;
  for (const ArchiveEntryInfo& entry : listing.entries) {
    std::string key = MemberKey(entry.name);
    if (!wanted.empty() && wanted.count(key) == 0) continue;
    found.insert(key);
    std::string shown = Cp1252ToUtf8(entry.name);
    if (!IsSafeMemberPath(entry.name)) {
      result = Fail(kExitBadInput, "member '" + shown + "' has a name that leads outside the output folder; skipped");
      continue;
    }
    std::string target = JoinPath(args.output, shown);
    OutputFile out;
    if (!MakeFolderTree(ParentOf(target)) || !out.Open(target)) {
      result = Fail(kExitIoFailure, "cannot create '" + target + "'");
      continue;
    }
    MemberStatus status =
        DecodeMember(file, location, entry, [&](const uint8_t* data, size_t size) { return out.Write(data, size); },
                     &blocks);
    if (status != MemberStatus::Ok) {
      out.Discard();
      result = Fail(status == MemberStatus::SinkFailed ? kExitIoFailure : kExitBadInput,
                    "member '" + shown + "': " + MemberStatusText(status));
      continue;
    }
    if (!out.Commit()) result = Fail(kExitIoFailure, "cannot write '" + target + "'");
  }
  for (size_t i = 1; i < args.operands.size(); ++i) {
    std::string name;
    if (Utf8ToCp1252(args.operands[i], &name) && found.count(MemberKey(name)) == 0) {
      result = Fail(kExitBadInput, "no member '" + args.operands[i] + "' in " + path);
    }
  }
  return result;
}
