#include "packer/cli_arguments.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct CommandInfo {
  const char* name;
  const char* summary;
  size_t minOperands;
  size_t maxOperands;
  std::vector<std::string> options;
  const char* usage;
};

const std::vector<CommandInfo>& Commands() {
  static const std::vector<CommandInfo> commands = {
      {"build", "builds an installer from a script and the product's files", 1, 1,
       {"--files", "--stub", "--arch", "-o", "--level", "--threads", "--add", "--sign-command", "--quiet", "--company",
        "--copyright", "--description", "--icon", "--allow-unknown", "--no-sign-warning"},
       "usage: plovepack build SCRIPT --files DIR -o SETUP.exe [--stub STUB.exe | --arch x86|x64]\n"
       "                       [--level 0-9] [--threads N] [--add NAME=PATH]... [--sign-command CMD]\n"
       "                       [--company C] [--copyright C] [--description D] [--icon FILE.ico]\n"
       "                       [--allow-unknown] [--no-sign-warning] [--quiet]\n"
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
       "  --no-sign-warning  no warning that the uninstaller is left unsigned\n"
       "The installer's version resource (its Properties, the elevation prompt) names the\n"
       "product: ProductName from [Project Name], FileDescription \"<product> Setup\",\n"
       "CompanyName from [UninstallSettings], the versions from [ProgramVersion].\n"
       "  --company C      CompanyName instead of the script's publisher\n"
       "  --copyright C    LegalCopyright, such as \"(c) 2025 My Company\"\n"
       "  --description D  FileDescription instead of \"<product> Setup\"\n"
       "  --icon FILE.ico  the installer's icon (every size in the file)\n"
       "  --allow-unknown  unknown directives and folder macros are warnings, not errors\n"
       "  --quiet          no progress and no summary line\n"},
      {"list", "shows what an installer holds", 1, 1, {},
       "usage: plovepack list SETUP.exe\n"
       "Shows the installer's stub, version resource and payload, then its members with packed\n"
       "and unpacked sizes and sums.\n"},
      {"verify", "checks an installer's sums and members", 1, 1, {},
       "usage: plovepack verify SETUP.exe\n"
       "Checks the trailer, both sums, every member's packed sum and that every member\n"
       "decodes to its stated size. Prints one line per fault; exit status 0 only when all hold.\n"},
      {"extract", "writes an installer's members into a folder", 1, SIZE_MAX, {"-o"},
       "usage: plovepack extract SETUP.exe [MEMBER...] -o DIR\n"
       "Extracts the named members (all when none is named) into DIR.\n"},
      {"manifest", "writes winget manifests for an installer", 1, 1,
       {"--id", "--url", "--version", "--manifest-version", "-o", "--out-dir", "--publisher", "--license",
        "--short-description", "--locale", "--publisher-url", "--license-url", "--moniker", "--tags", "--description",
        "--release-notes"},
       "usage: plovepack manifest SETUP.exe --id Publisher.App --url URL [--version V] [-o FILE]\n"
       "       plovepack manifest SETUP.exe --id Publisher.App --url URL [--version V] --out-dir DIR\n"
       "                          --license L --short-description S [--publisher P] [--locale L]\n"
       "                          [--publisher-url U] [--license-url U] [--moniker M] [--tags T]\n"
       "                          [--description D] [--release-notes N]\n"
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
       "  --locale L              the language of those texts (default en-US)\n"
       "  --publisher-url U       the publisher's home page\n"
       "  --license-url U         where the licence can be read\n"
       "  --moniker M             a short name to install by, such as myapp\n"
       "  --tags T                words to find the package by, separated by commas or blanks\n"
       "  --description D         a longer description\n"
       "  --release-notes N       what is new in this version\n"
       "Files written again keep the locale texts given before unless given anew.\n"},
      {"choco", "writes a Chocolatey package for an installer", 1, 1,
       {"--id", "--url", "--embed", "--version", "--publisher", "--short-description", "--project-url", "--pack",
        "-o", "--tags", "--license-url", "--license-file", "--package-source-url", "--icon-url"},
       "usage: plovepack choco SETUP.exe --id ID (--url URL | --embed --license-file F) --short-description S\n"
       "                       --project-url URL -o DIR [--version V] [--publisher P] [--tags T]\n"
       "                       [--license-url U] [--package-source-url U] [--icon-url U] [--pack]\n"
       "Writes a Chocolatey package folder for the installer: ID.nuspec and the install and\n"
       "uninstall scripts in tools/, which run the installer and the product's uninstaller\n"
       "silently.\n"
       "  --id ID                 the package id, such as plove-hello\n"
       "  --url URL               where the install script downloads the installer from\n"
       "                          (its SHA-256 goes into the script)\n"
       "  --embed                 put the installer into tools/ instead, with VERIFICATION.txt\n"
       "                          (which names --url as the download to compare) and the\n"
       "                          --license-file as tools/LICENSE.txt\n"
       "  --short-description S   the package description\n"
       "  -o DIR                  the package folder to write\n"
       "  --version V             the package version (default: the script's [ProgramVersion])\n"
       "  --publisher P           the authors (default: the script's [UninstallSettings])\n"
       "  --project-url URL       the product's home page\n"
       "  --tags T                words to find the package by, separated by commas or blanks\n"
       "  --license-url U         where the product's licence can be read\n"
       "  --license-file F        the licence the embedded installer is distributed under\n"
       "  --package-source-url U  where the sources of this package are kept\n"
       "  --icon-url U            the package's icon (an http or https address)\n"
       "  --pack                  write DIR/ID.VERSION.nupkg as well\n"
       "Files that an earlier run wrote into DIR and this one does not are removed.\n"},
      {"lint", "checks an install script", 1, 1, {"--files", "--allow-unknown"},
       "usage: plovepack lint SCRIPT [--files DIR] [--allow-unknown]\n"
       "Checks the install script; with --files also that every member it names is in DIR\n"
       "and that every file in DIR is installed by some line.\n"
       "Prints file:line: error|warning: text; exit status 1 when there are errors.\n"
       "  --allow-unknown  unknown directives and folder macros are warnings, not errors\n"},
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
  for (const CommandInfo& info : Commands()) {
    std::string name = info.name;
    text += "  " + name + std::string(10 - name.size(), ' ') + info.summary + "\n";
  }
  text += "plovepack help COMMAND (or COMMAND --help) shows the usage of a command;\n"
          "plovepack --version (-V) the version and the licences.\n"
          "Exit status: 0 done, 1 bad input or a failure, 2 a usage error.\n";
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
  if (args[0] == "help") {
    if (args.size() > 2 || (args.size() == 2 && FindCommand(args[1]) == nullptr)) {
      *error = args.size() > 2 ? "help takes one command" : "unknown command '" + args[1] + "'";
      return false;
    }
    parsed->help = true;
    if (args.size() == 2) parsed->command = args[1];
    return true;
  }
  if (args[0] == "--version" || args[0] == "-V") {
    if (args.size() > 1) {
      *error = args[0] + " takes nothing after it";
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
    const std::pair<const char*, bool Arguments::*> flags[] = {
        {"--quiet", &Arguments::quiet}, {"--embed", &Arguments::embed}, {"--pack", &Arguments::pack},
        {"--allow-unknown", &Arguments::allowUnknown}, {"--no-sign-warning", &Arguments::noSignWarning}};
    auto flag = std::find_if(std::begin(flags), std::end(flags), [&](const auto& f) { return arg == f.first; });
    if (flag != std::end(flags)) {
      if (inlineValue) {
        *error = arg + " takes no value";
        return false;
      }
      parsed->*(flag->second) = true;
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
    const std::pair<const char*, std::string Arguments::*> texts[] = {
        {"--tags", &Arguments::tags},
        {"--license-url", &Arguments::licenseUrl},
        {"--license-file", &Arguments::licenseFile},
        {"--package-source-url", &Arguments::packageSourceUrl},
        {"--icon-url", &Arguments::iconUrl},
        {"--publisher-url", &Arguments::publisherUrl},
        {"--moniker", &Arguments::moniker},
        {"--description", &Arguments::description},
        {"--release-notes", &Arguments::releaseNotes},
        {"--company", &Arguments::company},
        {"--copyright", &Arguments::copyright},
        {"--icon", &Arguments::icon}};
    auto text = std::find_if(std::begin(texts), std::end(texts), [&](const auto& t) { return arg == t.first; });
    if (text != std::end(texts)) {
      parsed->*(text->second) = value;
    } else if (arg == "--files") {
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
        parsed->locale.empty() && parsed->publisherUrl.empty() && parsed->licenseUrl.empty() &&
        parsed->moniker.empty() && parsed->tags.empty() && parsed->description.empty() &&
        parsed->releaseNotes.empty())) {
    *error = "--publisher, --license, --short-description, --locale and the other texts of the locale "
             "manifest belong to --out-dir";
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
