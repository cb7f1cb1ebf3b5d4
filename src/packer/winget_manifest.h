#pragma once
// The installer manifest of winget's manifest schema 1.6.0 for an installer
// built by this packer, as YAML text. Everything comes from the installer
// itself: the product from its script, the architecture from its PE header,
// the hash from its bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "pe/byte_source.h"

struct WingetProduct {
  std::string name;       // [Project Name]; UTF-8
  std::string version;    // [ProgramVersion]
  std::string publisher;  // [UninstallSettings]
  bool hasName = false;
};

// The product as the installer reads its script (the last of each
// directive wins, as in the installer's own scan).
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

// The manifest text. Callers check the fields first.
std::string WriteWingetManifest(const WingetInstaller& installer);
