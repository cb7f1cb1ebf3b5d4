#pragma once
// The few file-system calls the packer needs, with UTF-8 paths; one file
// per platform implements them.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class PathKind { Missing, File, Folder, Other };

FILE* OpenFileUtf8(const std::string& path, const char* mode);
bool SeekFile(FILE* file, uint64_t offset);
bool SizeOfOpenFile(FILE* file, uint64_t* size);
PathKind KindOfPath(const std::string& path);
// Names of the regular files directly inside folder (no sub-folders).
bool ListFolderFiles(const std::string& folder, std::vector<std::string>* names);
// Names of the folders directly inside folder, links to folders left out.
bool ListSubfolders(const std::string& folder, std::vector<std::string>* names);
// True when both paths name one existing file (the same inode or file
// index, whatever links or names lead to it).
bool IsSameFile(const std::string& a, const std::string& b);
// Creates one folder level; true when it exists afterwards.
bool MakeFolder(const std::string& path);
// Renames from to to, replacing an existing to unless that is read-only.
bool ReplaceFileWith(const std::string& from, const std::string& to);
bool DeleteFileUtf8(const std::string& path);
bool StderrIsTerminal();
// Why the last file call on this thread failed, in words ("the disk is
// full", "permission denied", "its folder does not exist", ...).
std::string LastFileErrorCause();
// The preferred separator of the platform.
char PathSeparator();
