#pragma once
// winget manifests for an installer built by this packer, as YAML text:
// the installer manifest, and for a submission to winget's package
// repository the version and default locale manifests beside it. What the
// installer knows comes from the installer itself: the product from its
// script, the architecture from its PE header, the hash from its bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/byte_source.h"
#include "script/install_scope.h"

struct WingetProduct {
  std::string name;       // [Project Name]; UTF-8
  std::string version;    // [ProgramVersion]
  std::string publisher;  // [UninstallSettings]
  InstallScope scope = InstallScope::Machine;  // [InstallScope]
  bool hasName = false;
};

// The product as the installer reads its script: the last of each
// directive wins, as in the installer's own scan, except [InstallScope],
// of which the installer reads the first (a value it does not know means
// machine).
WingetProduct ReadWingetProduct(const uint8_t* script, size_t size);

// "x86" or "x64" from the machine field of a PE image; empty otherwise.
std::string InstallerArchitecture(const ByteSource& image);

struct WingetInstaller {
  std::string identifier;   // Publisher.App
  std::string version;      // the package version
  std::string url;          // where the installer is downloaded from
  std::string architecture;
  std::string sha256;       // 64 hex digits
  WingetProduct product;
};

// True when text is a package identifier as the schema has it: 2 to 8 parts
// of 1 to 32 characters, separated by dots, without blanks, control
// characters or any of \ / : * ? " < > |.
bool IsPackageIdentifier(const std::string& text);
// True for an http or https address with something after "://" and no
// blanks or control characters.
bool IsInstallerUrl(const std::string& text);
// True for a version the schema takes: 1 to 128 characters, none of
// \ / : * ? " < > | or control characters.
bool IsPackageVersion(const std::string& text);

// The manifest schema versions written: the newest that winget's package
// repository accepts (the default), and 1.6.0 for older clients.
constexpr const char* kWingetManifestVersion = "1.12.0";
bool IsSupportedManifestVersion(const std::string& version);

// The texts of the default locale manifest that the installer cannot know.
struct WingetLocale {
  std::string locale;  // such as en-US
  std::string publisher;
  std::string license;
  std::string shortDescription;
  // Optional; left out when empty.
  std::string publisherUrl;
  std::string licenseUrl;
  std::string moniker;
  std::vector<std::string> tags;
  std::string description;
  std::string releaseNotes;
};

// The words of text separated by commas or blanks, each once, in order.
std::vector<std::string> SplitTags(const std::string& text);

// Fills the optional texts of locale that are empty from a default locale
// manifest written before (this packer's own YAML), so that writing the
// files again keeps what an earlier run was given.
void KeepEarlierLocaleTexts(const std::string& yaml, WingetLocale* locale);

// True for a locale tag as the schema has it (en-US, de, x-custom, ...).
bool IsLocaleTag(const std::string& text);
// Characters (Unicode code points) in UTF-8 text.
size_t CharacterCount(const std::string& utf8);

// The manifest texts; callers check the fields first. The installer
// manifest has one entry per scope the script installs for: per machine
// (the installer elevates itself), per user (it never elevates), or both
// for an "either" script, each with the switch that picks it.
std::string WriteWingetManifest(const WingetInstaller& installer, const std::string& manifestVersion);
std::string WriteWingetVersionManifest(const WingetInstaller& installer, const std::string& locale,
                                       const std::string& manifestVersion);
std::string WriteWingetLocaleManifest(const WingetInstaller& installer, const WingetLocale& locale,
                                      const std::string& manifestVersion);

// The folders of a submission, relative to the repository's top:
// {"manifests", "p", "Plove", "App", "1.0"} for Plove.App 1.0 (the first
// letter of the identifier, lower case, then one folder per part).
std::vector<std::string> WingetManifestFolders(const std::string& identifier, const std::string& version);
