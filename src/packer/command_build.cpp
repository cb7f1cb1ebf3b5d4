#include <algorithm>
#include <map>

#include "packer/cli_commands.h"
#include "packer/container_members.h"
#include "packer/installer_facts.h"
#include "packer/file_io.h"
#include "packer/messages.h"
#include "packer/pack_installer.h"
#include "packer/parallel_for.h"
#include "packer/platform_files.h"
#include "packer/progress.h"
#include "packer/script_members.h"
#include "packer/script_scan.h"
#include "packer/stub_lookup.h"
#include "packer/stub_methods.h"
#include "packer/sign_command.h"
#include "packer/version_resource.h"
#include "packer/winget_manifest.h"
#include "pe/icon_resource.h"
#include "pe/installer_image.h"
#include "wizard/wizard_rules.h"

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

// The message for a --files that is not a folder.
std::string FolderProblem(const std::string& path) {
  switch (KindOfPath(path)) {
    case PathKind::File: return "--files '" + path + "' is a file; give the folder that holds the product's files";
    case PathKind::Missing: return "--files '" + path + "': folder not found";
    default: return "--files '" + path + "' is not a folder";
  }
}

constexpr uint16_t kResourceTypeVersion = 16;

// The installer's version block: the product's names and version, so that
// the elevation prompt, the file's Properties and reputation services see
// the product rather than the installer engine.
VersionFields ProductVersionFields(const WingetProduct& product, const Arguments& args) {
  VersionFields fields;
  VersionNumbers(product.version, fields.version);
  fields.productName = product.name;
  fields.productVersion = product.version.empty() ? VersionNumbersText(fields.version) : product.version;
  fields.fileVersion = VersionNumbersText(fields.version);
  fields.fileDescription = !args.description.empty() ? args.description
                           : product.name.empty()     ? std::string("Setup")
                                                      : product.name + " Setup";
  fields.companyName = !args.company.empty() ? args.company : product.publisher;
  fields.legalCopyright = args.copyright;
  fields.originalFilename = FileNameOf(args.output);
  fields.comments = std::string("Built with plovepack ") + PLOVE_VERSION_TEXT;
  return fields;
}

// Whether an install of the script is a 64-bit one on 64-bit Windows
// (Program Files rather than Program Files (x86)): [Windows Version] 4, or
// every program and DLL it places with a __PLI_WIN64 twin.
bool InstallsAs64Bit(const ScriptScan& scan) {
  StringList destinations;
  for (const ScriptDirective& d : scan.directives) {
    if (d.Is(Directive::WindowsVersion) && d.Value(0).text.ParseInteger() == 4) return true;
    if (d.Is(Directive::CopyFile) && d.values.size() >= 2) destinations.Add(d.Value(1).text);
  }
  return destinations.Count() != 0 && DestinationsWant64Bit(destinations);
}

}  // namespace

int CommandBuild(const Arguments& args) {
  const std::string& scriptPath = args.operands[0];
  std::vector<uint8_t> script;
  if (int status = ReadInputFile(scriptPath, "script", &script)) return status;
  if (KindOfPath(args.files) != PathKind::Folder) return Fail(kExitBadInput, FolderProblem(args.files));
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
  LintOptions lintOptions;
  lintOptions.allowUnknown = args.allowUnknown;
  lintOptions.registersItself = [&](const std::string& name) {
    // The file packed under the name: an --add replaces the folder's.
    for (auto it = additions.rbegin(); it != additions.rend(); ++it) {
      if (MemberKey(it->first) == MemberKey(name)) return FileRegistersItself(it->second);
    }
    return FileRegistersItself(inFolder(name));
  };
  if (ReportLintFindings(scriptPath, script, lookup, lintOptions)) {
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

  // The output must not be any of the inputs, under whatever name or link.
  std::vector<std::string> inputs = {stubPath};
  for (const MemberPlan& member : plan.Members()) inputs.push_back(member.path);
  if (!args.icon.empty()) inputs.push_back(args.icon);
  for (const std::string& input : inputs) {
    if (IsSameFile(input, args.output)) {
      return Fail(kExitBadInput, "-o '" + args.output + "' is the input '" + input +
                                     "' (the same file); write the installer elsewhere; nothing written");
    }
  }
  if (!scan.container) {
    std::vector<std::string> used;
    for (const MemberPlan& member : plan.Members()) used.push_back(member.name);
    WarnAboutUninstalledFiles(args.files, script, used, [&](const std::string& path) {
      return IsSameFile(path, scriptPath) || IsSameFile(path, args.output) || IsSameFile(path, stubPath);
    });
  }

  WingetProduct product = ReadWingetProduct(script.data(), script.size());
  if (!scan.container && product.version.empty()) {
    PrintWarning("the script has no [ProgramVersion]: the installer's version resource says 0.0.0.0, and "
                 "plovepack manifest and choco will need --version");
  }
  std::vector<IconImage> icon;
  if (!args.icon.empty()) {
    std::vector<uint8_t> iconFile;
    if (int status = ReadInputFile(args.icon, "icon", &iconFile)) return status;
    std::string error;
    if (!ParseIconFile(iconFile.data(), iconFile.size(), &icon, &error)) {
      return Fail(kExitBadInput, "--icon '" + args.icon + "': " + error);
    }
  }
  const std::vector<uint8_t> versionBlock = BuildVersionResource(ProductVersionFields(product, args));
  ResourceEdit brand = [&](ResourceTree* tree) {
    tree->Remove(kResourceTypeVersion, 1);
    tree->Set(kResourceTypeVersion, 1, kVersionLanguage, versionBlock.data(), versionBlock.size());
    return icon.empty() ? PeStatus::Ok : ReplaceFirstIconGroup(icon, tree);
  };

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
  PeStatus stubStatus = image.Prepare(stub.data(), stub.size(), kPayloadResourceId, brand);
  if (stubStatus != PeStatus::Ok) return Fail(kExitBadInput, "stub '" + stubPath + "': " + PeStatusText(stubStatus));
  const bool stub64 = [&] {
    MemorySource source(stub.data(), stub.size());
    return InstallerArchitecture(source) == "x64";
  }();
  const StubMethods stubMethods = MethodsOfStub(stub.data(), stub.size());
  stub = {};
  std::vector<uint8_t> uninstaller = image.Uninstaller();
  if (!args.signCommand.empty()) {
    std::string error;
    if (!SignUninstaller(args.signCommand, args.output, image.Uninstaller(), &uninstaller, &error)) {
      return Fail(kExitBadInput, error + "; nothing written");
    }
  }
  const bool warnUnsigned = args.signCommand.empty() && !args.noSignWarning && LeavesUninstaller(scan);

  uint64_t inputBytes = 0;
  for (const PackSource& source : sources) inputBytes += source.data.size();
  Progress progress(args.quiet ? ProgressStyle::None : StderrIsTerminal() ? ProgressStyle::Terminal : ProgressStyle::Log,
                    inputBytes);
  PackSettings settings;
  settings.lzma.preset = uint32_t(args.level);
  settings.lzma.x86Filter = stubMethods.x86Lzma;
  settings.solidBlocks = stubMethods.solid;
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

  std::string cause;
  if (!WriteFileAtomically(args.output, installer.data(), installer.size(), &cause)) {
    return Fail(kExitIoFailure, "cannot write '" + args.output + "': " + cause);
  }
  if (warnUnsigned) {
    PrintWarning("no --sign-command: the uninstaller is unsigned, and Windows' elevation prompt names its "
                 "publisher \"Unknown publisher\" (--no-sign-warning: no such warning)");
  }
  if (stub64 && !scan.container && !args.quiet) {
    PrintLine(InstallsAs64Bit(scan)
                  ? "note: a 64-bit install: <Program Files> is Program Files"
                  : "note: a 64-bit stub, but <Program Files> is Program Files (x86): the install is a 32-bit one "
                    "unless the script has [Windows Version] 4 or a __PLI_WIN64 twin of every .exe and .dll it "
                    "places");
  }
  if (!args.quiet) {
    PrintLine("wrote " + args.output + ": " + std::to_string(sources.size()) + " members, " +
              std::to_string(inputBytes) + " bytes packed into " + std::to_string(installer.size()));
  }
  return kExitOk;
}
