#pragma once
// The subcommands of plovepack; each returns the process exit status
// (messages.h).

#include <functional>
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
bool ReportLintFindings(const std::string& scriptPath, const std::vector<uint8_t>& script, const MemberLookup& lookup,
                        const LintOptions& options);

// True when the file at path (UTF-8) is a PE image that exports
// DllRegisterServer; false for anything else, also a file that cannot be read.
bool FileRegistersItself(const std::string& path);

// Warns about the files below folder that no line of the script installs
// (a misspelt directive or member name leaves them out in silence). used
// holds the Windows-1252 names taken otherwise (setup.lic, --add, ...);
// skip is called with each file's path and leaves out the script itself or
// the output.
void WarnAboutUninstalledFiles(const std::string& folder, const std::vector<uint8_t>& script,
                               const std::vector<std::string>& used,
                               const std::function<bool(const std::string& path)>& skip);

// Reads an input file: kExitOk, kExitBadInput when it is missing, or
// kExitIoFailure when it exists but cannot be read (with the message shown).
int ReadInputFile(const std::string& path, const char* what, std::vector<uint8_t>* data);
