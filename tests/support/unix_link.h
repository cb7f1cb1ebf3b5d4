#pragma once
// A link inside the Wine prefix, standing in for a junction: Wine cannot
// make reparse points, but shows a Unix symbolic link as a folder with the
// reparse-point attribute (0x410) and follows it. Made with the Unix "ln",
// which Wine starts as any other program.

#include <string>

#include "util/wide_string.h"

// Makes link (a Windows path) point at target (a Windows path); true once
// the link is there.
bool MakeUnixLink(const WideString& link, const WideString& target);

// Starts the Unix "ln -sfn target link" with Unix paths; true when it was
// started. Wine gives no handle to wait on for a Unix program: the caller
// waits for what the link makes.
bool StartUnixLn(const std::string& unixTarget, const std::string& unixLink);
