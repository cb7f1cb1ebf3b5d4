#include <cstdio>

#include "packer/cli_commands.h"
#include "packer/command_inspect_common.h"
#include "packer/file_io.h"
#include "packer/installer_facts.h"
#include "packer/messages.h"
#include "packer/platform_files.h"
#include "packer/winget_manifest.h"

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
  const std::string manifestVersion = args.manifestVersion.empty() ? kWingetManifestVersion : args.manifestVersion;
  if (!IsSupportedManifestVersion(manifestVersion)) {
    return Fail(kExitBadInput, "--manifest-version '" + manifestVersion + "' is not written: give 1.12.0 or 1.6.0");
  }
  const bool submission = !args.outDir.empty();
  WingetLocale locale;
  locale.locale = args.locale.empty() ? "en-US" : args.locale;
  locale.publisher = args.publisher;
  locale.license = args.license;
  locale.shortDescription = args.shortDescription;
  locale.publisherUrl = args.publisherUrl;
  locale.licenseUrl = args.licenseUrl;
  locale.moniker = args.moniker;
  locale.tags = SplitTags(args.tags);
  locale.description = args.description;
  locale.releaseNotes = args.releaseNotes;
  if (submission && !IsLocaleTag(locale.locale)) {
    return Fail(kExitBadInput, "--locale '" + locale.locale + "' is not a language tag such as en-US");
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
  MemberRead read = ReadMemberNamed(file, location, "setup.dat", &script, &error);
  if (read == MemberRead::Missing) error = "the installer holds no setup.dat";
  if (read != MemberRead::Found) return Fail(kExitBadInput, path + ": " + error);
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

  if (submission) {
    // The default locale manifest's texts, with the lengths the schema takes.
    if (locale.publisher.empty()) locale.publisher = installer.product.publisher;
    if (locale.publisher.empty()) {
      return Fail(kExitBadInput, path + ": the script has no [UninstallSettings] publisher; give --publisher");
    }
    const struct {
      const std::string& text;
      const char* what;
      size_t low, high;
    } texts[] = {{locale.publisher, "the publisher", 2, 256},
                 {installer.product.name, "the product name (the script's [Project Name])", 2, 256},
                 {locale.license, "--license", 3, 512},
                 {locale.shortDescription, "--short-description", 3, 256},
                 {locale.description, "--description", 0, 10000},
                 {locale.releaseNotes, "--release-notes", 0, 10000},
                 {locale.moniker, "--moniker", 0, 40}};
    for (const auto& t : texts) {
      size_t count = CharacterCount(t.text);
      if (t.low == 0 && count == 0) continue;  // optional, not given
      if (count < t.low || count > t.high) {
        return Fail(kExitBadInput, std::string(t.what) + " must have " + std::to_string(t.low) + " to " +
                                       std::to_string(t.high) + " characters for winget");
      }
    }
    for (const std::string* url : {&locale.publisherUrl, &locale.licenseUrl}) {
      if (!url->empty() && (!IsInstallerUrl(*url) || url->size() > 2048)) {
        return Fail(kExitBadInput, "'" + *url + "' is not an http or https address");
      }
    }
    if (locale.moniker.find(' ') != std::string::npos) {
      return Fail(kExitBadInput, "--moniker '" + locale.moniker + "' is one word to install by, without blanks");
    }
    if (locale.tags.size() > 16) return Fail(kExitBadInput, "--tags: winget takes at most 16 tags");
    for (const std::string& tag : locale.tags) {
      if (CharacterCount(tag) > 40) return Fail(kExitBadInput, "tag '" + tag + "' is longer than 40 characters");
    }
    // The version names a folder: nothing that climbs out of it or that
    // Windows would change.
    const std::string& v = installer.version;
    if (v == "." || v == ".." || v.back() == '.' || v.back() == ' ') {
      return Fail(kExitBadInput, "version '" + v + "' cannot name a folder of winget's repository");
    }
  }
  if (!HashFile(file, &installer.sha256)) return Fail(kExitIoFailure, "cannot read '" + path + "'");

  std::string text = WriteWingetManifest(installer, manifestVersion);
  if (!submission) {
    if (args.output.empty()) {
      std::fputs(text.c_str(), stdout);
    } else if (!WriteFileAtomically(args.output, reinterpret_cast<const uint8_t*>(text.data()), text.size())) {
      return Fail(kExitIoFailure, "cannot write '" + args.output + "'");
    }
    return kExitOk;
  }

  std::string folder = args.outDir;
  for (const std::string& part : WingetManifestFolders(installer.identifier, installer.version)) {
    folder = JoinPath(folder, part);
  }
  if (!MakeFolderTree(folder)) return Fail(kExitIoFailure, "cannot create folder '" + folder + "'");
  // Texts an earlier run was given and this one is not are kept.
  std::vector<uint8_t> earlier;
  const std::string localeFile = JoinPath(folder, installer.identifier + ".locale." + locale.locale + ".yaml");
  if (KindOfPath(localeFile) == PathKind::File && ReadWholeFile(localeFile, &earlier)) {
    KeepEarlierLocaleTexts(std::string(earlier.begin(), earlier.end()), &locale);
  }
  const std::pair<std::string, std::string> files[] = {
      {installer.identifier + ".yaml", WriteWingetVersionManifest(installer, locale.locale, manifestVersion)},
      {installer.identifier + ".locale." + locale.locale + ".yaml",
       WriteWingetLocaleManifest(installer, locale, manifestVersion)},
      {installer.identifier + ".installer.yaml", text}};
  std::vector<std::string> written;
  for (const auto& [name, content] : files) {
    std::string target = JoinPath(folder, name);
    if (!WriteFileAtomically(target, reinterpret_cast<const uint8_t*>(content.data()), content.size())) {
      // All three or none: a submission without one of them is refused.
      for (const std::string& done : written) DeleteFileUtf8(done);
      return Fail(kExitIoFailure, "cannot write '" + target + "'");
    }
    written.push_back(target);
  }
  for (const std::string& done : written) PrintLine("wrote " + done);
  return kExitOk;
}
