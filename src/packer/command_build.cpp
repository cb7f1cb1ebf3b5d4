#include <algorithm>
#include <map>

#include "packer/cli_commands.h"
#include "packer/container_members.h"
#include "packer/file_io.h"
#include "packer/messages.h"
#include "packer/pack_installer.h"
#include "packer/parallel_for.h"
#include "packer/platform_files.h"
#include "packer/progress.h"
#include "packer/script_members.h"
#include "packer/script_scan.h"
#include "packer/stub_lookup.h"
#include "packer/sign_command.h"
#include "pe/installer_image.h"

namespace {

// One member and the file it comes from, in archive order.
struct MemberPlan {
  std::string name;  // Windows-1252
  std::string path;  // UTF-8
};

class BuildPlan {
 public:
  // Adds the member, or points an existing one (same name, ASCII case
  // ignored) at another file.
  void Set(const std::string& name, const std::string& path) {
    auto found = index_.find(MemberKey(name));
    if (found != index_.end()) {
      members_[found->second].path = path;
      return;
    }
    index_[MemberKey(name)] = members_.size();
    members_.push_back({name, path});
  }
  bool Has(const std::string& name) const { return index_.count(MemberKey(name)) != 0; }
  const std::vector<MemberPlan>& Members() const { return members_; }

 private:
  std::vector<MemberPlan> members_;
  std::map<std::string, size_t> index_;
};

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of(std::string("/") + PathSeparator());
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut == 0 ? 1 : cut);
}

std::string FileNameOf(const std::string& path) {
  size_t cut = path.find_last_of(std::string("/") + PathSeparator());
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> NamesOf(const std::vector<MemberPlan>& members) {
  std::vector<std::string> names;
  for (const MemberPlan& member : members) names.push_back(member.name);
  return names;
}

std::string Describe(const std::string& cp1252Name) { return "'" + Cp1252ToUtf8(cp1252Name) + "'"; }

// An install of the script leaves an uninstaller behind: it is no
// container and has no [NoUnInstall].
bool LeavesUninstaller(const ScriptScan& scan) {
  if (scan.container) return false;
  return std::none_of(scan.directives.begin(), scan.directives.end(),
                      [](const ScriptDirective& d) { return d.Is(Directive::NoUnInstall); });
}

}  // namespace

int CommandBuild(const Arguments& args) {
  const std::string& scriptPath = args.operands[0];
  std::vector<uint8_t> script;
  if (int status = ReadInputFile(scriptPath, "script", &script)) return status;
  if (KindOfPath(args.files) != PathKind::Folder) return Fail(kExitBadInput, "folder '" + args.files + "' not found");
  // Without --stub, the shipped stub of --arch; found before the long part.
  std::string stubPath = args.stub;
  if (stubPath.empty()) {
    std::string error;
    if (!FindShippedStub(args.arch.empty() ? "x86" : args.arch, &stubPath, &error)) {
      return Fail(kExitBadInput, error);
    }
  }

  // --add names, checked before anything else uses them.
  std::vector<std::pair<std::string, std::string>> additions;
  for (const auto& [utf8Name, path] : args.additions) {
    std::string name;
    if (!Utf8ToCp1252(utf8Name, &name)) {
      return Fail(kExitBadInput, "member name '" + utf8Name + "' cannot be written in Windows-1252");
    }
    // The script is checked and scanned for members; another file in its
    // place would ship unchecked.
    if (MemberKey(name) == "setup.dat") {
      return Fail(kExitBadInput, "--add cannot replace setup.dat; give the script as SCRIPT");
    }
    additions.emplace_back(name, path);
  }
  auto added = [&](const std::string& name) {
    return std::any_of(additions.begin(), additions.end(),
                       [&](const auto& a) { return MemberKey(a.first) == MemberKey(name); });
  };
  auto inFolder = [&](const std::string& name) { return JoinPath(args.files, Cp1252ToUtf8(name)); };

  MemberLookup lookup = [&](const std::string& name) {
    return added(name) || KindOfPath(inFolder(name)) == PathKind::File;
  };
  if (ReportLintFindings(scriptPath, script, lookup)) {
    return Fail(kExitBadInput, "the script has errors; nothing written");
  }

  // Fixed order: the script, the licence and picture, the script's members
  // in order of mention, a container's installers by name, then --add.
  BuildPlan plan;
  plan.Set("setup.dat", scriptPath);
  for (const char* fixed : {"setup.lic", "setup.bmp"}) {
    std::string beside = JoinPath(FolderOf(scriptPath), fixed);
    if (KindOfPath(beside) == PathKind::File) {
      plan.Set(fixed, beside);
    } else if (KindOfPath(inFolder(fixed)) == PathKind::File) {
      plan.Set(fixed, inFolder(fixed));
    }
  }
  ScriptScan scan = ScanScript(script.data(), script.size());
  for (const std::string& name : ScriptMemberNames(scan)) plan.Set(name, inFolder(name));
  if (scan.container) {
    std::vector<std::string> files;
    if (!ListFolderFiles(args.files, &files)) return Fail(kExitIoFailure, "cannot list folder '" + args.files + "'");
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
      std::string name;
      if (!Utf8ToCp1252(file, &name)) {
        return Fail(kExitBadInput, "file name '" + file + "' cannot be written in Windows-1252");
      }
      if (plan.Has(name)) continue;
      if (file == FileNameOf(scriptPath) && FolderOf(scriptPath) == FolderOf(JoinPath(args.files, file))) continue;
      if (IsSetupName(name)) {
        PrintWarning("'" + file + "' is left out: the container runs no member named setup");
        continue;
      }
      plan.Set(name, JoinPath(args.files, file));
    }
  }
  for (const auto& [name, path] : additions) plan.Set(name, path);
  if (scan.container) {
    for (const std::string& name : SingleBitnessMembers(NamesOf(plan.Members()))) {
      PrintWarning("container member " + Describe(name) +
                   " runs only on 32-bit Windows or with --force32bit: on 64-bit Windows a container with "
                   "__PLI_WIN64 members runs only those");
    }
  }

  std::vector<PackSource> sources;
  for (const MemberPlan& member : plan.Members()) {
    if (member.name.size() > kMaxMemberNameBytes) {
      return Fail(kExitBadInput, "member name " + Describe(member.name) + " is longer than 254 bytes");
    }
    PackSource source;
    source.name = member.name;
    if (KindOfPath(member.path) != PathKind::File) {
      return Fail(kExitBadInput, "member " + Describe(member.name) + ": file '" + member.path + "' not found");
    }
    FileSource file;
    if (!file.Open(member.path)) return Fail(kExitIoFailure, "cannot open '" + member.path + "'");
    if (file.Size() >= 0xFFFFFFFFull) {
      return Fail(kExitBadInput, "member " + Describe(member.name) + " is 4 GiB or larger");
    }
    // The container starts every such member as an installer of its own.
    if (scan.container && !IsSetupName(member.name) && !HoldsPayload(file)) {
      return Fail(kExitBadInput, "container member " + Describe(member.name) + " ('" + member.path +
                                     "') is not an installer built by plovepack (no payload resource); "
                                     "nothing written");
    }
    source.data.resize(size_t(file.Size()));
    if (!file.ReadAt(0, source.data.data(), source.data.size())) {
      return Fail(kExitIoFailure, "cannot read '" + member.path + "'");
    }
    sources.push_back(std::move(source));
  }

  std::vector<uint8_t> stub;
  if (int status = ReadInputFile(stubPath, "stub", &stub)) return status;
  // The stub is laid out (and refused when unusable) before the long part.
  InstallerImage image;
  PeStatus stubStatus = image.Prepare(stub.data(), stub.size(), kPayloadResourceId);
  if (stubStatus != PeStatus::Ok) return Fail(kExitBadInput, "stub '" + stubPath + "': " + PeStatusText(stubStatus));
  stub = {};
  std::vector<uint8_t> uninstaller = image.Uninstaller();
  if (!args.signCommand.empty()) {
    std::string error;
    if (!SignUninstaller(args.signCommand, args.output, image.Uninstaller(), &uninstaller, &error)) {
      return Fail(kExitBadInput, error + "; nothing written");
    }
  } else if (LeavesUninstaller(scan)) {
    PrintWarning("no --sign-command: the uninstaller will be unsigned, and Windows' elevation prompt will name "
                 "its publisher \"Unknown publisher\"");
  }

  Progress progress(!args.quiet && StderrIsTerminal(), sources.size());
  PackSettings settings;
  settings.lzma.preset = uint32_t(args.level);
  settings.threads = args.threads != 0 ? args.threads : HardwareThreads();
  settings.memberDone = [&](uint64_t bytes) { progress.MemberDone(bytes); };
  std::vector<uint8_t> archive;
  std::string error;
  bool packed = PackArchive(sources, settings, &archive, &error);
  progress.Finish();
  if (!packed) return Fail(kExitBadInput, error + "; nothing written");
  std::vector<uint8_t> installer;
  PeStatus status = image.Finish(archive.data(), archive.size(), uninstaller, &installer);
  if (status != PeStatus::Ok) return Fail(kExitBadInput, std::string("stub: ") + PeStatusText(status) + "; nothing written");

  uint64_t inputBytes = 0;
  for (const PackSource& source : sources) inputBytes += source.data.size();
  if (!WriteFileAtomically(args.output, installer.data(), installer.size())) {
    return Fail(kExitIoFailure, "cannot write '" + args.output + "'");
  }
  if (!args.quiet) {
    PrintLine("wrote " + args.output + ": " + std::to_string(sources.size()) + " members, " +
              std::to_string(inputBytes) + " bytes packed into " + std::to_string(installer.size()));
  }
  return kExitOk;
}
