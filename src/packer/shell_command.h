#pragma once
// Running a command line through the platform's shell (/bin/sh, cmd.exe),
// for the publisher's signing command. One file per platform implements it.

#include <string>

// The command's exit status; -1 when it could not be started or did not
// end normally.
int RunShellCommand(const std::string& command);

// path as one word of that shell's command line: in single quotes for
// /bin/sh, in double quotes for cmd.exe.
std::string QuotedForShell(const std::string& path);
