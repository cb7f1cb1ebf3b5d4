#pragma once
// Text operations on paths. "\" is the only separator recognised.

#include "util/string_list.h"
#include "util/wide_string.h"

// From the last "." to the end when that dot follows the last "\"; else ".".
WideString Extension(const WideString& path);
// The path without the text from its last "." (anywhere in the path) onwards.
WideString StripExtension(const WideString& path);
// The text after the last "\"; the whole path when there is none.
WideString FileName(const WideString& path);
WideString BaseName(const WideString& path);
// Up to and including the last "\"; the whole path when there is none.
WideString ParentFolder(const WideString& path);
void AddBackslash(WideString& path);
void RemoveTrailingBackslashes(WideString& path);
// The path unchanged when it starts with "\\" or is shorter than limit
// characters; otherwise "\\?\" + path, normalised as Windows normalises
// the plain path (doubled "\", "." and ".." segments, a segment's closing
// period, the last segment's closing periods and blanks), so that whatever
// the limit both forms name the same file.
WideString LongPathForm(const WideString& path, int limit);
// The folders that make up path, from the first one below its root
// outwards, each without a trailing backslash: "C:\a\\b\" gives "C:\a" and
// "C:\a\b". The root is never listed: "C:\", "\\?\C:\" (the first "\" at or
// after position 7 of a "\\?\" path) or "\\server\" (the first "\" after the
// server name). A path without a separator at or after position 3 is all
// root and gives no levels.
void FolderTreeLevels(const WideString& path, StringList& levels);
// Paths compare ignoring ASCII case.
inline bool SamePath(const WideString& a, const WideString& b) { return a.Compare(b, true) == 0; }
