#pragma once
// The command line of plovepack: a subcommand, its operands and options.
//
//   build SCRIPT --files DIR -o SETUP.exe [--stub STUB.exe | --arch x86|x64]
//         [--level 0-9] [--threads N] [--add NAME=PATH]... [--sign-command CMD] [--quiet]
//         [--company C] [--copyright C] [--description D] [--icon FILE.ico]
//         [--allow-unknown] [--no-sign-warning]
//   list SETUP.exe
//   verify SETUP.exe
//   extract SETUP.exe [MEMBER...] -o DIR
//   lint SCRIPT [--files DIR] [--allow-unknown]
//   manifest SETUP.exe --id Publisher.App --url URL [--version V] [--manifest-version V]
//            (-o FILE | --out-dir DIR --license L --short-description S [--publisher P] [--locale L]
//             [--publisher-url U] [--license-url U] [--moniker M] [--tags T] [--description D]
//             [--release-notes N])
//   choco SETUP.exe --id ID (--url URL | --embed --license-file F) --short-description S
//         --project-url URL -o DIR [--version V] [--publisher P] [--tags T] [--license-url U]
//         [--package-source-url U] [--icon-url U] [--pack]
//   help [COMMAND], --help, -h: the usage; --version, -V: the program's version

#include <string>
#include <utility>
#include <vector>

struct Arguments {
  std::string command;
  std::vector<std::string> operands;
  std::string files;
  std::string stub;
  std::string output;
  std::string arch;     // build: which shipped stub, "x86" or "x64" (empty: x86)
  std::string id;       // manifest, choco: package identifier
  std::string url;      // manifest, choco: installer address
  std::string version;  // manifest, choco: package version
  std::string manifestVersion;   // manifest: winget schema version (empty: the newest supported)
  std::string outDir;            // manifest: folder for the three files of a submission
  std::string publisher;         // manifest, choco: default the script's [UninstallSettings]
  std::string license;           // manifest
  std::string shortDescription;  // manifest, choco
  std::string locale;            // manifest: default en-US
  std::string projectUrl;        // choco
  std::string tags;              // manifest, choco: blank- or comma-separated words
  std::string licenseUrl;        // manifest, choco
  std::string licenseFile;       // choco --embed: the LICENSE.txt of the package
  std::string packageSourceUrl;  // choco
  std::string iconUrl;           // choco
  std::string publisherUrl;      // manifest
  std::string moniker;           // manifest
  std::string description;       // manifest: the long description; build: FileDescription
  std::string releaseNotes;      // manifest
  std::string company;           // build: CompanyName (default: the script's [UninstallSettings])
  std::string copyright;         // build: LegalCopyright
  std::string icon;              // build: the installer's icon (.ico)
  bool allowUnknown = false;     // build, lint: unknown directives and macros are warnings
  bool noSignWarning = false;    // build: no warning about an unsigned uninstaller
  bool embed = false;            // choco: the installer goes into the package
  bool pack = false;             // choco: write the .nupkg too
  std::string signCommand;       // build: signs the uninstaller ({in}, {out})
  int level = 6;
  unsigned threads = 0;  // 0: every processor
  bool quiet = false;
  bool help = false;
  bool showVersion = false;  // plovepack --version
  std::vector<std::pair<std::string, std::string>> additions;  // --add NAME=PATH, UTF-8
};

// False with a message when the command line is not valid for its command
// (a usage error: exit status kExitUsage).
bool ParseArguments(const std::vector<std::string>& args, Arguments* parsed, std::string* error);

// The usage text of a command, or of the program when command is empty.
std::string UsageText(const std::string& command);
