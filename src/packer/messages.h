#pragma once
// What plovepack prints: errors and warnings on stderr with the program's
// name in front, results on stdout. Texts are UTF-8.

#include <string>

// 1 for every failure of the work itself, bad input and I/O alike (nothing
// is written then); 2 for a command line that is not valid.
enum ExitStatus { kExitOk = 0, kExitBadInput = 1, kExitIoFailure = 1, kExitUsage = 2 };

// "plovepack: error: text"; returns status so callers can `return Fail(...)`.
int Fail(int status, const std::string& text);
void PrintWarning(const std::string& text);
void PrintLine(const std::string& text);  // stdout
