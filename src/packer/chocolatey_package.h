#pragma once
// A Chocolatey package for an installer built by this packer: the nuspec,
// the install and uninstall scripts, the moderators' VERIFICATION.txt for
// an installer carried in the package, and the parts of the .nupkg (a zip
// in the layout `choco pack` writes). Texts are UTF-8.

#include <string>
#include <vector>

struct ChocolateyPackage {
  std::string id;             // such as plove-hello
  std::string version;        // package version
  std::string title;          // the product name
  std::string authors;        // the publisher
  std::string description;
  std::string projectUrl;     // may be empty
  std::string packageSourceUrl;  // may be empty
  std::string licenseUrl;     // may be empty
  std::string iconUrl;        // may be empty
  std::string tags;           // blank-separated words; may be empty
  std::string productName;    // [Project Name]: the key of the product's uninstall entry
  std::string productVersion; // [ProgramVersion], may be empty
  std::string architecture;   // x86 or x64
  std::string url;            // where the installer is downloaded from; may be empty when embedded
  std::string sha256;         // of the installer, 64 hex digits
  std::string embeddedFile;   // the installer's name in tools/ when embedded; empty otherwise
  bool allUsers = false;      // the installer asks for its scope: --allusers picks per machine
  bool hasLicence = false;    // tools/LICENSE.txt holds the installer's licence text
  bool licenceGiven = false;  // ... given by the publisher rather than the text the installer shows
};

// A package id NuGet takes: letters, digits and _ in parts joined by . or -,
// at most 100 characters.
bool IsChocolateyId(const std::string& text);
// A package version NuGet takes: 1 to 4 numbers joined by dots, then
// optionally "-" and a pre-release tag of letters, digits, dots and dashes.
bool IsChocolateyVersion(const std::string& text);
// A file name that can go into tools/, the scripts and the .nupkg as it is
// (no escaping anywhere): letters, digits and . _ -, not starting with a dot.
bool IsPlainFileName(const std::string& text);

// Tags as the nuspec writes them: the words of text (separated by commas or
// blanks), each once, joined by one blank.
std::string ChocolateyTags(const std::string& text);

// withFiles: the <files> element that `choco pack` reads (the folder's
// nuspec); the nuspec inside the .nupkg has none.
std::string ChocolateyNuspec(const ChocolateyPackage& package, bool withFiles);
std::string ChocolateyInstallScript(const ChocolateyPackage& package);
std::string ChocolateyUninstallScript(const ChocolateyPackage& package);
std::string ChocolateyVerification(const ChocolateyPackage& package);

// The text of a PowerShell script file: a UTF-8 byte-order mark in front
// when it holds anything but ASCII, since Windows PowerShell reads a file
// without one in the ANSI code page.
std::string PowerShellFileText(const std::string& script);

// The .nupkg parts beside the package's own files. fileNames: the entry
// names of those files (tools/...), in package order.
std::string NupkgRelationships(const ChocolateyPackage& package, const std::string& propertiesPart);
std::string NupkgContentTypes(const std::vector<std::string>& fileNames);
std::string NupkgCoreProperties(const ChocolateyPackage& package);
