#pragma once
// Folder creation and removal, forced deletion and attribute queries. Paths
// of 248 characters or more get the "\\?\" prefix.

#include <cstdint>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Creates every missing level; an existing level counts as success.
bool CreateFolderTree(const WideString& path);
// Deletes a file, a read-only one too; a link goes itself, never its target
// (DeleteFileNoFollow, util/win/safe_files.h).
bool DeleteFileForced(const WideString& path);
// Removes what path\pattern matches (sub-folders only when recurse), then the
// folder itself when everything went. A link is removed as a link and never
// entered. True when everything matched was removed; paths shorter than 3
// characters are refused.
bool DeleteFolderTree(const WideString& path, const WideString& pattern = WideString(u"*.*"),
                      bool recurse = true);
// The full path of a path relative to the current folder (GetFullPathNameW);
// the path unchanged when that fails.
WideString AbsolutePath(const WideString& path);
// A directory search finds it, or it is a drive root such as "C:".
bool PathExists(const WideString& path);
// A folder, or a link to one, is there (one GetFileAttributesW).
bool IsFolder(const WideString& path);
// From a directory search; 0 when not found.
uint64_t FileSizeOf(const WideString& path);
// Attributes from a directory search; notFound set when there is none.
DWORD FileAttributesOf(const WideString& path, bool* notFound);
bool ClearReadOnly(const WideString& path);
