#pragma once
// The installer stubs shipped with plovepack, found from where the program
// itself lies:
//   PROGRAM_FOLDER/stubs/                          Windows (stubs\ beside plovepack.exe),
//                                                  and a build tree (links made by CMake)
//   PROGRAM_FOLDER/../share/plove-install/stubs/   an installed Linux layout (bin/plovepack)
// Each holds setup-stub-x86.exe and setup-stub-x64.exe.

#include <string>
#include <vector>

// The folder that holds the running program; empty when it cannot be told.
std::string ProgramFolder();

// The places to look for the stub of arch ("x86" or "x64"), in order, for a
// program in programFolder; "." and ".." are resolved in the text.
std::vector<std::string> StubCandidates(const std::string& programFolder, const std::string& arch);

// The first candidate that is a file, or false with a message naming every
// place looked at.
bool FindShippedStub(const std::string& arch, std::string* path, std::string* error);
