#include "packer/cli_arguments.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct CommandInfo {
  const char* name;
  size_t minOperands;
  size_t maxOperands;
  std::vector<std::string> options;
  const char* usage;
};

const std::vector<CommandInfo>& Commands() {
  static const std::vector<CommandInfo> commands = {
      {"build", 1, 1, {"--files", "--stub", "--arch", "-o", "--level", "--threads", "--add", "--sign-command", "--quiet"},
       "usage: plovepack build SCRIPT --files DIR -o SETUP.exe [--stub STUB.exe | --arch x86|x64]\n"
       "                       [--level 0-9] [--threads N] [--add NAME=PATH]... [--sign-command CMD]\n"
       "                       [--quiet]\n"
       "Packs the script (as setup.dat), setup.lic and setup.bmp when present beside the script\n"
       "or in DIR, every member the script names, and the --add files into a copy of the stub.\n"
       "  --files DIR      folder holding the members named by the script\n"
       "  -o SETUP.exe     the installer to write (written only when everything succeeds)\n"
       "  --stub STUB.exe  the installer executable to copy (default: a stub shipped with plovepack)\n"
       "  --arch x86|x64   which shipped stub: x86 (the default; runs on 32-bit and 64-bit\n"
       "                   Windows) or x64 (64-bit Windows only)\n"
       "  --level 0-9      LZMA preset (default 6); the dictionary is at most 8 MiB\n"
       "  --threads N      compression threads (default: every processor)\n"
       "  --add NAME=PATH  one more member NAME with the content of PATH\n"
       "  --sign-command CMD\n"
       "                   signs the uninstaller that the installer leaves behind: CMD is run\n"
       "                   with {in} and {out} replaced by the unsigned file and the signed one\n"
       "                   (quoted for the shell; without {out} it signs {in} in place)\n"
       "  --quiet          no progress line\n"},
      {"list", 1, 1, {}, "usage: plovepack list SETUP.exe\nLists the members with packed and unpacked sizes and sums.\n"},
      {"verify", 1, 1, {},
       "usage: plovepack verify SETUP.exe\n"
       "Checks the trailer, both sums, every member's packed sum and that every member\n"
       "decodes to its stated size. Prints one line per fault; exit status 0 only when all hold.\n"},
      {"extract", 1, SIZE_MAX, {"-o"},
       "usage: plovepack extract SETUP.exe [MEMBER...] -o DIR\n"
       "Extracts the named members (all when none is named) into DIR.\n"},
      {"manifest", 1, 1,
       {"--id", "--url", "--version", "--manifest-version", "-o", "--out-dir", "--publisher", "--license",
        "--short-description", "--locale"},
       "usage: plovepack manifest SETUP.exe --id Publisher.App --url URL [--version V] [-o FILE]\n"
       "       plovepack manifest SETUP.exe --id Publisher.App --url URL [--version V] --out-dir DIR\n"
       "                          --license L --short-description S [--publisher P] [--locale L]\n"
       "Writes winget manifests of the installer, read from the installer itself: product,\n"
       "publisher and version from its script, the architecture from its header, the SHA-256\n"
       "of the file. With -o (or on standard output) the installer manifest alone; with\n"
       "--out-dir the three files of a submission to winget's package repository, in\n"
       "DIR/manifests/<letter>/<Publisher>/<App>/<version>/.\n"
       "  --id Publisher.App      the package identifier\n"
       "  --url URL               where the installer will be downloaded from\n"
       "  --version V             the package version (default: the script's [ProgramVersion])\n"
       "  --manifest-version V    manifest schema 1.12.0 (the default) or 1.6.0\n"
       "  -o FILE                 write the installer manifest there\n"
       "  --out-dir DIR           write the version, default locale and installer manifests\n"
       "  --license L             the licence, such as MIT or Proprietary\n"
       "  --short-description S   one line about the package\n"
       "  --publisher P           the publisher (default: the script's [UninstallSettings])\n"
       "  --locale L              the language of those texts (default en-US)\n"},
      {"choco", 1, 1,
       {"--id", "--url", "--embed", "--version", "--publisher", "--short-description", "--project-url", "--pack",
        "-o"},
       "usage: plovepack choco SETUP.exe --id ID (--url URL | --embed) --short-description S -o DIR\n"
       "                       [--version V] [--publisher P] [--project-url URL] [--pack]\n"
       "Writes a Chocolatey package folder for the installer: ID.nuspec and the install and\n"
       "uninstall scripts in tools/, which run the installer and the product's uninstaller\n"
       "silently.\n"
       "  --id ID                 the package id, such as plove-hello\n"
       "  --url URL               where the install script downloads the installer from\n"
       "                          (its SHA-256 goes into the script)\n"
       "  --embed                 put the installer into tools/ instead, with VERIFICATION.txt\n"
       "                          (which names --url, when given, as the download to compare)\n"
       "  --short-description S   the package description\n"
       "  -o DIR                  the package folder to write\n"
       "  --version V             the package version (default: the script's [ProgramVersion])\n"
       "  --publisher P           the authors (default: the script's [UninstallSettings])\n"
       "  --project-url URL       the product's home page\n"
       "  --pack                  write DIR/ID.VERSION.nupkg as well\n"},
      {"lint", 1, 1, {"--files"},
       "usage: plovepack lint SCRIPT [--files DIR]\n"
       "Checks the install script; with --files also that every member it names is in DIR.\n"
       "Prints file:line: error|warning: text; exit status 1 when there are errors.\n"},
  };
  return commands;
}

const CommandInfo* FindCommand(const std::string& name) {
  for (const CommandInfo& info : Commands()) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

bool ParseNumber(const std::string& text, long low, long high, long* value) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  if (text.size() > 6) return false;
  *value = std::strtol(text.c_str(), nullptr, 10);
  return *value >= low && *value <= high;
}

}  // namespace

std::string UsageText(const std::string& command) {
  if (const CommandInfo* info = FindCommand(command)) return info->usage;
  std::string text =
      "usage: plovepack COMMAND ...\n"
      "Builds and inspects installers.\n"
      "commands:\n";
  for (const CommandInfo& info : Commands()) text += std::string("  ") + info.name + "\n";
  text += "plovepack COMMAND --help shows the usage of a command; plovepack --version the version.\n";
  return text;
}

bool ParseArguments(const std::vector<std::string>& args, Arguments* parsed, std::string* error) {
  *parsed = Arguments{};
  if (args.empty()) {
    *error = "no command given";
    return false;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    parsed->help = true;
    return true;
  }
  if (args[0] == "--version") {
    if (args.size() > 1) {
      *error = "--version takes nothing after it";
      return false;
    }
    parsed->showVersion = true;
    return true;
  }
  const CommandInfo* info = FindCommand(args[0]);
  if (info == nullptr) {
    *error = "unknown command '" + args[0] + "'";
    return false;
  }
  parsed->command = info->name;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parsed->help = true;
      return true;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      parsed->operands.push_back(arg);
      continue;
    }
    std::string value;
    bool inlineValue = false;
    size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      inlineValue = true;
    }
    if (std::find(info->options.begin(), info->options.end(), arg) == info->options.end()) {
      *error = "option '" + arg + "' is not valid for " + info->name;
      return false;
    }
    if (arg == "--quiet" || arg == "--embed" || arg == "--pack") {
      if (inlineValue) {
        *error = arg + " takes no value";
        return false;
      }
      if (arg == "--quiet") parsed->quiet = true;
      if (arg == "--embed") parsed->embed = true;
      if (arg == "--pack") parsed->pack = true;
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        *error = "option '" + arg + "' needs a value";
        return false;
      }
      value = args[++i];
    }
    long number = 0;
    if (arg == "--files") {
      parsed->files = value;
    } else if (arg == "--id") {
      parsed->id = value;
    } else if (arg == "--url") {
      parsed->url = value;
    } else if (arg == "--version") {
      parsed->version = value;
    } else if (arg == "--sign-command") {
      if (value.empty()) {
        *error = "--sign-command takes a command";
        return false;
      }
      parsed->signCommand = value;
    } else if (arg == "--stub") {
      parsed->stub = value;
    } else if (arg == "--arch") {
      if (value != "x86" && value != "x64") {
        *error = "--arch takes x86 or x64";
        return false;
      }
      parsed->arch = value;
    } else if (arg == "--manifest-version") {
      parsed->manifestVersion = value;
    } else if (arg == "--out-dir") {
      parsed->outDir = value;
    } else if (arg == "--publisher") {
      parsed->publisher = value;
    } else if (arg == "--license") {
      parsed->license = value;
    } else if (arg == "--short-description") {
      parsed->shortDescription = value;
    } else if (arg == "--locale") {
      parsed->locale = value;
    } else if (arg == "--project-url") {
      parsed->projectUrl = value;
    } else if (arg == "-o") {
      parsed->output = value;
    } else if (arg == "--level") {
      if (!ParseNumber(value, 0, 9, &number)) {
        *error = "--level takes a number from 0 to 9";
        return false;
      }
      parsed->level = int(number);
    } else if (arg == "--threads") {
      if (!ParseNumber(value, 1, 1024, &number)) {
        *error = "--threads takes a number from 1 to 1024";
        return false;
      }
      parsed->threads = unsigned(number);
    } else if (arg == "--add") {
      size_t cut = value.find('=');
      if (cut == std::string::npos || cut == 0 || cut + 1 == value.size()) {
        *error = "--add takes NAME=PATH";
        return false;
      }
      parsed->additions.emplace_back(value.substr(0, cut), value.substr(cut + 1));
    }
  }
  if (parsed->operands.size() < info->minOperands || parsed->operands.size() > info->maxOperands) {
    *error = std::string("wrong number of operands for ") + info->name;
    return false;
  }
  if (parsed->command == "build" && (parsed->files.empty() || parsed->output.empty())) {
    *error = "build needs --files and -o";
    return false;
  }
  if (parsed->command == "build" && !parsed->stub.empty() && !parsed->arch.empty()) {
    *error = "give --stub or --arch, not both: --arch picks one of the stubs shipped with plovepack";
    return false;
  }
  if (parsed->command == "manifest" && (parsed->id.empty() || parsed->url.empty())) {
    *error = "manifest needs --id and --url";
    return false;
  }
  if (parsed->command == "manifest" && !parsed->outDir.empty() && !parsed->output.empty()) {
    *error = "give -o or --out-dir, not both";
    return false;
  }
  if (parsed->command == "manifest" && !parsed->outDir.empty() &&
      (parsed->license.empty() || parsed->shortDescription.empty())) {
    *error = "manifest --out-dir needs --license and --short-description";
    return false;
  }
  if (parsed->command == "manifest" && parsed->outDir.empty() &&
      !(parsed->publisher.empty() && parsed->license.empty() && parsed->shortDescription.empty() &&
        parsed->locale.empty())) {
    *error = "--publisher, --license, --short-description and --locale belong to --out-dir";
    return false;
  }
  if (parsed->command == "choco" && (parsed->id.empty() || parsed->output.empty() || parsed->shortDescription.empty())) {
    *error = "choco needs --id, --short-description and -o";
    return false;
  }
  if (parsed->command == "choco" && parsed->url.empty() && !parsed->embed) {
    *error = "choco needs --url, or --embed to carry the installer in the package";
    return false;
  }
  if (parsed->command == "extract" && parsed->output.empty()) {
    *error = "extract needs -o DIR";
    return false;
  }
  return true;
}
