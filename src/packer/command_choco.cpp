#include <algorithm>

#include "packer/chocolatey_package.h"
#include "packer/cli_commands.h"
#include "packer/command_inspect_common.h"
#include "packer/file_io.h"
#include "packer/installer_facts.h"
#include "packer/messages.h"
#include "packer/platform_files.h"
#include "packer/script_members.h"
#include "packer/sha256.h"
#include "packer/winget_manifest.h"
#include "packer/zip_writer.h"

namespace {

// Text that XML 1.0 can hold: no control characters but the tab.
bool IsXmlText(const std::string& text) {
  return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
}

std::string FileNameOf(const std::string& path) {
  size_t cut = path.find_last_of(std::string("/") + PathSeparator());
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Copies the installer through a temporary name, as every other output.
bool CopyInstaller(const FileSource& source, const std::string& target) {
  std::string temporary = target + ".partial";
  OutputFile out;
  if (!out.Open(temporary)) return false;
  std::vector<uint8_t> chunk(1u << 20);
  for (uint64_t at = 0; at < source.Size(); at += chunk.size()) {
    size_t take = size_t(std::min<uint64_t>(chunk.size(), source.Size() - at));
    if (!source.ReadAt(at, chunk.data(), take) || !out.Write(chunk.data(), take)) return false;
  }
  if (!out.Commit()) return false;
  if (!ReplaceFileWith(temporary, target)) {
    DeleteFileUtf8(temporary);
    return false;
  }
  return true;
}

// One file of the package: its name below the package folder ("/" between
// levels) and its text; the embedded installer has no text.
struct PackageFile {
  std::string name;
  std::string text;
  bool isInstaller = false;
};

// The .nupkg: the nuspec and the files in the order `choco pack` writes
// them, between the package's relationships and its content types and
// core properties.
int WriteNupkg(const ChocolateyPackage& package, const std::vector<PackageFile>& files, const FileSource& installer,
               const std::string& path) {
  std::string nuspec = ChocolateyNuspec(package, false);
  // The core properties' name: a digest of the contents, so that the same
  // package gets the same name.
  Sha256 digest;
  auto feed = [&](const std::string& text) { digest.Update(reinterpret_cast<const uint8_t*>(text.data()), text.size()); };
  feed(nuspec);
  for (const PackageFile& file : files) feed(file.isInstaller ? package.sha256 : file.text);
  std::string properties = "package/services/metadata/core-properties/" + HexDigest(digest.Finish()).substr(0, 32) +
                           ".psmdcp";
  std::vector<std::string> names;
  for (const PackageFile& file : files) names.push_back(file.name);

  std::string temporary = path + ".partial";
  OutputFile out;
  if (!out.Open(temporary)) return Fail(kExitIoFailure, "cannot write '" + path + "'");
  ZipWriter zip(&out);
  bool ok = zip.Add("_rels/.rels", NupkgRelationships(package, properties)) &&
            zip.Add(package.id + ".nuspec", nuspec);
  for (const PackageFile& file : files) {
    if (!ok) break;
    ok = file.isInstaller ? zip.AddFrom(file.name, installer) : zip.Add(file.name, file.text);
  }
  ok = ok && zip.Add("[Content_Types].xml", NupkgContentTypes(names)) &&
       zip.Add(properties, NupkgCoreProperties(package)) && zip.Finish() && out.Commit();
  if (!ok) {
    out.Discard();
    if (zip.TooLarge()) return Fail(kExitBadInput, "'" + path + "' would reach 4 GiB, more than a .nupkg can hold");
    return Fail(kExitIoFailure, "cannot write '" + path + "'");
  }
  if (!ReplaceFileWith(temporary, path)) {
    DeleteFileUtf8(temporary);
    return Fail(kExitIoFailure, "cannot write '" + path + "'");
  }
  return kExitOk;
}

// Removes what an earlier run into folder wrote and this one did not: the
// optional files of tools/, an installer carried before (it has its
// .ignore beside it), other .nupkg files of the package and other .nuspec
// files (choco pack refuses a folder with two). Other files are the
// publisher's and stay. Returns the paths removed.
std::vector<std::string> RemoveStaleFiles(const std::string& folder, const std::string& id,
                                          const std::vector<std::string>& written) {
  auto wrote = [&](const std::string& path) { return std::find(written.begin(), written.end(), path) != written.end(); };
  auto endsWith = [](const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && MemberKey(text.substr(text.size() - tail.size())) == MemberKey(tail);
  };
  std::vector<std::string> stale;
  std::vector<std::string> names;
  const std::string tools = JoinPath(folder, "tools");
  if (ListFolderFiles(tools, &names)) {
    for (const std::string& name : names) {
      const bool optional = MemberKey(name) == "verification.txt" || MemberKey(name) == "license.txt";
      const bool carried = endsWith(name, ".exe.ignore") || (endsWith(name, ".exe") &&
                                                             std::find(names.begin(), names.end(), name + ".ignore") != names.end());
      if (optional || carried) stale.push_back(JoinPath(tools, name));
    }
  }
  if (ListFolderFiles(folder, &names)) {
    for (const std::string& name : names) {
      const bool nupkg = endsWith(name, ".nupkg") && MemberKey(name).rfind(MemberKey(id) + ".", 0) == 0;
      if (nupkg || endsWith(name, ".nuspec")) stale.push_back(JoinPath(folder, name));
    }
  }
  std::vector<std::string> removed;
  std::sort(stale.begin(), stale.end());
  for (const std::string& path : stale) {
    if (!wrote(path) && DeleteFileUtf8(path)) removed.push_back(path);
  }
  return removed;
}

}  // namespace

int CommandChoco(const Arguments& args) {
  const std::string& path = args.operands[0];
  if (!IsChocolateyId(args.id)) {
    return Fail(kExitBadInput, "--id '" + args.id +
                                   "' is not a package id: letters, digits and _ in parts joined by . or -, such as "
                                   "plove-hello, at most 100 characters");
  }
  // What the community repository's validator requires of every package,
  // and of one that carries its installer.
  if (args.projectUrl.empty()) {
    return Fail(kExitBadInput, "give --project-url: Chocolatey's community repository requires the product's home "
                               "page (projectUrl) in every package");
  }
  if (args.embed && args.url.empty()) {
    return Fail(kExitBadInput, "give --url with --embed: VERIFICATION.txt must name where the moderators can "
                               "download the same installer, as Chocolatey requires of a package that carries one");
  }
  for (const std::string* url :
       {&args.url, &args.projectUrl, &args.licenseUrl, &args.packageSourceUrl, &args.iconUrl}) {
    if (!url->empty() && !IsInstallerUrl(*url)) {
      return Fail(kExitBadInput, "'" + *url + "' is not an http or https address");
    }
  }
  std::vector<uint8_t> givenLicence;
  if (!args.licenseFile.empty()) {
    if (!args.embed) return Fail(kExitBadInput, "--license-file belongs to --embed: it becomes tools/LICENSE.txt");
    if (int status = ReadInputFile(args.licenseFile, "licence file", &givenLicence)) return status;
  }
  FileSource file;
  ArchiveLocation location;
  if (int status = OpenArchiveFile(path, &file, &location)) return status;
  ChocolateyPackage package;
  package.architecture = location.bare ? std::string() : InstallerArchitecture(file);
  if (package.architecture.empty()) {
    return Fail(kExitBadInput, path + ": not an x86 or x64 installer built by plovepack");
  }
  std::vector<uint8_t> script, licence;
  std::string error;
  MemberRead read = ReadMemberNamed(file, location, "setup.dat", &script, &error);
  if (read == MemberRead::Missing) error = "the installer holds no setup.dat";
  if (read != MemberRead::Found) return Fail(kExitBadInput, path + ": " + error);
  WingetProduct product = ReadWingetProduct(script.data(), script.size());
  if (!product.hasName || product.name.empty()) {
    return Fail(kExitBadInput, path + ": the script has no [Project Name], which names the product's uninstall entry");
  }
  if (product.scope == InstallScope::User) {
    return Fail(kExitBadInput, path + ": the script installs for the current user alone ([InstallScope] user), and "
                                      "Chocolatey installs for the whole machine; publish it with winget (Scope: "
                                      "user), or make the script's scope either");
  }
  package.allUsers = product.scope == InstallScope::Either;
  package.id = args.id;
  package.version = args.version.empty() ? product.version : args.version;
  if (package.version.empty()) {
    return Fail(kExitBadInput, path + ": the script's [ProgramVersion] is empty or missing; give --version");
  }
  if (!IsChocolateyVersion(package.version)) {
    return Fail(kExitBadInput, "version '" + package.version +
                                   "' is not a package version: 1 to 4 numbers joined by dots, such as 1.0.0, "
                                   "then optionally -tag; give --version");
  }
  package.title = package.productName = product.name;
  package.productVersion = product.version;
  package.authors = args.publisher.empty() ? product.publisher : args.publisher;
  if (package.authors.empty()) {
    return Fail(kExitBadInput, path + ": the script has no [UninstallSettings] publisher; give --publisher");
  }
  package.description = args.shortDescription;
  for (const std::string* text : {&package.title, &package.authors, &package.description}) {
    if (!IsXmlText(*text)) return Fail(kExitBadInput, "'" + *text + "' holds control characters");
  }
  package.projectUrl = args.projectUrl;
  package.packageSourceUrl = args.packageSourceUrl;
  package.licenseUrl = args.licenseUrl;
  package.iconUrl = args.iconUrl;
  package.tags = ChocolateyTags(args.tags);
  if (!IsXmlText(package.tags)) return Fail(kExitBadInput, "'" + package.tags + "' holds control characters");
  package.url = args.url;
  if (args.embed) {
    package.embeddedFile = FileNameOf(path);
    if (!IsPlainFileName(package.embeddedFile)) {
      return Fail(kExitBadInput, "'" + package.embeddedFile +
                                     "' cannot be carried as it is named: rename the installer to letters, digits "
                                     "and . _ - only");
    }
    std::string key = MemberKey(package.embeddedFile);
    if (key == "license.txt" || key == "verification.txt" || key == "chocolateyinstall.ps1" ||
        key == "chocolateyuninstall.ps1") {
      return Fail(kExitBadInput, "'" + package.embeddedFile + "' is the name of another file of the package");
    }
    // The licence the installer shows goes beside it, as the moderators ask.
    if (!args.licenseFile.empty()) {
      package.hasLicence = package.licenceGiven = true;
    } else {
      read = ReadMemberNamed(file, location, "setup.lic", &licence, &error);
      if (read == MemberRead::Failed) return Fail(kExitBadInput, path + ": " + error);
      package.hasLicence = read == MemberRead::Found;
    }
    if (!package.hasLicence) {
      return Fail(kExitBadInput, "give --license-file with --embed: the installer shows no licence (no setup.lic), "
                                 "and Chocolatey requires LICENSE.txt in a package that carries binaries");
    }
  }
  if (!HashFile(file, &package.sha256)) return Fail(kExitIoFailure, "cannot read '" + path + "'");

  std::vector<PackageFile> files = {
      {"tools/chocolateyinstall.ps1", PowerShellFileText(ChocolateyInstallScript(package))},
      {"tools/chocolateyuninstall.ps1", PowerShellFileText(ChocolateyUninstallScript(package))}};
  if (args.embed) {
    files.push_back({"tools/VERIFICATION.txt", ChocolateyVerification(package)});
    if (package.licenceGiven) {
      files.push_back({"tools/LICENSE.txt", std::string(givenLicence.begin(), givenLicence.end())});
    } else if (package.hasLicence) {
      std::string text = Cp1252ToUtf8(std::string(licence.begin(), licence.end()));
      files.push_back({"tools/LICENSE.txt", text});
    }
    files.push_back({"tools/" + package.embeddedFile, std::string(), true});
    // No command shim for the installer: Chocolatey makes one for every .exe
    // in a package without a .ignore file beside it.
    files.push_back({"tools/" + package.embeddedFile + ".ignore", std::string()});
  }
  std::sort(files.begin(), files.end(), [](const PackageFile& a, const PackageFile& b) { return a.name < b.name; });

  const std::string folder = args.output;
  if (!MakeFolderTree(JoinPath(folder, "tools"))) return Fail(kExitIoFailure, "cannot create folder '" + folder + "'");
  std::vector<std::string> written;
  auto writeText = [&](const std::string& name, const std::string& text) {
    std::string target = JoinPath(folder, name);
    written.push_back(target);
    return WriteFileAtomically(target, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  };
  if (!writeText(package.id + ".nuspec", ChocolateyNuspec(package, true))) {
    return Fail(kExitIoFailure, "cannot write '" + written.back() + "'");
  }
  for (const PackageFile& f : files) {
    bool ok = true;
    if (f.isInstaller) {
      written.push_back(JoinPath(folder, f.name));
      ok = CopyInstaller(file, written.back());
    } else {
      ok = writeText(f.name, f.text);
    }
    if (!ok) return Fail(kExitIoFailure, "cannot write '" + written.back() + "'");
  }
  if (args.pack) {
    std::string nupkg = JoinPath(folder, package.id + "." + package.version + ".nupkg");
    if (int status = WriteNupkg(package, files, file, nupkg)) return status;
    written.push_back(nupkg);
  }
  for (const std::string& done : written) PrintLine("wrote " + done);
  for (const std::string& gone : RemoveStaleFiles(folder, package.id, written)) PrintLine("removed " + gone);
  return kExitOk;
}
