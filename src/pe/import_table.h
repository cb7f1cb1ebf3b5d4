#pragma once
// The DLLs an image imports at load time, and whether Windows loads each
// from its own copy in System32 whatever the program's folder holds (its
// KnownDLLs). A program started from a folder others can write must import
// nothing else: Windows looks in the program's folder first for any other.

#include <string>
#include <vector>

#include "pe/byte_source.h"
#include "pe/pe_headers.h"
#include "pe/pe_status.h"

// The names of the import directory's entries, in order (empty when the
// image imports nothing). Delay-load imports are not load-time imports and
// are not listed. Fails on a name or descriptor outside the image.
PeStatus ReadImportedDlls(const ByteSource& source, const PeHeaders& headers, std::vector<std::string>* names);

// name (ASCII case ignored, ".dll" optional) is one of Windows' KnownDLLs
// on every version the installer supports (Windows 7 and later).
bool IsKnownDll(const std::string& name);

// The imported DLLs of the image in source that are not KnownDLLs; empty
// for an image that imports only those. False when the image cannot be read.
bool DllsLoadedBySearch(const ByteSource& source, std::vector<std::string>* names);

// One line for each DLL of the installer in source that Windows would look
// for in the installer's folder first; nothing for an image that is not PE
// (the archive checks report that).
std::vector<std::string> LoadTimeImportFaults(const ByteSource& source);
