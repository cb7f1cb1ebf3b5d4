#pragma once
// Text decisions of the install wizard that need no window: the space line,
// the folder picked with "Choose", the 64-bit twin test over the script's
// destinations, the install folder given on the command line, the header
// line and the "!" mark of finish options.

#include <cstdint>

#include "util/string_list.h"
#include "util/wide_string.h"

// "%d MB Required, %d %s Free". Required is the size in KB divided by 1024,
// at least 1. Free is shown in MB, or in GB (MB / 1024) when more than 4000
// MB are free and that GB figure is larger than the required figure. Both
// numbers are printed as 32-bit integers.
WideString SpaceLine(uint64_t totalInstallSizeKb, uint64_t freeSpaceMb);

// The install folder after the user picked chosenPath: the path with a
// trailing backslash, then the last component of defaultInstallPath (its
// trailing backslashes removed) and a backslash, unless that component
// begins with "<" or the trimmed default has no backslash at all. An empty
// chosenPath (the shell gave no file-system path) gives an empty result:
// the caller keeps the folder it had.
WideString ChosenInstallFolder(const WideString& chosenPath, const WideString& defaultInstallPath);

// Whether the 64-bit variants are installed, judged from the destination
// lines of every "[CopyFile]" as written. Each destination, without its
// "__PLI_WIN64" and "__PLI_UNICODE" markers, that ends in ".exe" or ".dll"
// (ASCII case ignored) needs its twin, the name with "__PLI_WIN64" before
// the extension, among the destinations (ASCII case ignored). True when
// every one has it, so also for a list without .exe or .dll files. Only
// meaningful on 64-bit Windows.
bool DestinationsWant64Bit(const StringList& destinations);

// The install folder that the command line imposes, searched
// case-sensitively: everything after "<installto>"; then, when
// "--installto" occurs, everything after it with one leading "=", one
// leading and one trailing double quote removed. defaultPath unchanged
// when neither option is there.
WideString InstallToOverride(const WideString& commandLine, const WideString& defaultPath);

// True when the command line holds "<installto>" or "--installto".
bool NamesInstallFolder(const WideString& commandLine);

// True for a path that names its drive and starts at its root ("C:\...")
// or a UNC path ("\\server\share..."): a folder to install to. Empty,
// relative, drive-relative ("C:App") and root-relative ("\App") paths,
// and paths that still begin with a folder macro, are not.
bool IsFullFolderPath(const WideString& path);

// The wizard's header: the project name, then a blank and the version when
// the version is not empty.
WideString HeaderLine(const WideString& projectName, const WideString& programVersion);

// The caption of a finish option as listed, and whether it starts ticked: a
// caption ending in "!" loses that one "!" and starts unticked.
bool FinishOptionCaption(const WideString& caption, WideString& shown);
