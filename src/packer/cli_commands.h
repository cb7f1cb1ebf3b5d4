#pragma once
// The subcommands of plovepack; each returns the process exit status
// (messages.h).

#include <string>
#include <vector>

#include "packer/cli_arguments.h"
#include "packer/script_lint.h"

int RunPlovepack(const std::vector<std::string>& args);

int CommandBuild(const Arguments& args);
int CommandList(const Arguments& args);
int CommandVerify(const Arguments& args);
int CommandExtract(const Arguments& args);
int CommandLint(const Arguments& args);
int CommandManifest(const Arguments& args);
int CommandChoco(const Arguments& args);

// Lints the script and prints "file:line: error|warning: text" lines on
// stderr; returns true when there are errors.
bool ReportLintFindings(const std::string& scriptPath, const std::vector<uint8_t>& script, const MemberLookup& lookup);

// Reads an input file: kExitOk, kExitBadInput when it is missing, or
// kExitIoFailure when it exists but cannot be read (with the message shown).
int ReadInputFile(const std::string& path, const char* what, std::vector<uint8_t>* data);
