#pragma once
// The command line of plovepack: a subcommand, its operands and options.
//
//   build SCRIPT --files DIR --stub STUB.exe -o SETUP.exe [--level 0-9]
//         [--threads N] [--add NAME=PATH]... [--sign-command CMD] [--quiet]
//   list SETUP.exe
//   verify SETUP.exe
//   extract SETUP.exe [MEMBER...] -o DIR
//   lint SCRIPT [--files DIR]
//   manifest SETUP.exe --id Publisher.App --url URL [--version V] [-o FILE]

#include <string>
#include <utility>
#include <vector>

struct Arguments {
  std::string command;
  std::vector<std::string> operands;
  std::string files;
  std::string stub;
  std::string output;
  std::string id;       // manifest: package identifier
  std::string url;      // manifest: installer address
  std::string version;  // manifest: package version
  std::string signCommand;  // build: signs the uninstaller ({in}, {out})
  int level = 6;
  unsigned threads = 0;  // 0: every processor
  bool quiet = false;
  bool help = false;
  std::vector<std::pair<std::string, std::string>> additions;  // --add NAME=PATH, UTF-8
};

// False with a message when the command line is not valid for its command.
bool ParseArguments(const std::vector<std::string>& args, Arguments* parsed, std::string* error);

// The usage text of a command, or of the program when command is empty.
std::string UsageText(const std::string& command);
