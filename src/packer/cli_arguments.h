#pragma once
// The command line of plovepack: a subcommand, its operands and options.
//
//   build SCRIPT --files DIR -o SETUP.exe [--stub STUB.exe | --arch x86|x64]
//         [--level 0-9] [--threads N] [--add NAME=PATH]... [--sign-command CMD] [--quiet]
//   list SETUP.exe
//   verify SETUP.exe
//   extract SETUP.exe [MEMBER...] -o DIR
//   lint SCRIPT [--files DIR]
//   manifest SETUP.exe --id Publisher.App --url URL [--version V] [--manifest-version V]
//            (-o FILE | --out-dir DIR --license L --short-description S [--publisher P] [--locale L])
//   choco SETUP.exe --id ID (--url URL | --embed) --short-description S -o DIR [--version V]
//         [--publisher P] [--project-url URL] [--pack]
//   --version (instead of a command): the program's version

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

// False with a message when the command line is not valid for its command.
bool ParseArguments(const std::vector<std::string>& args, Arguments* parsed, std::string* error);

// The usage text of a command, or of the program when command is empty.
std::string UsageText(const std::string& command);
