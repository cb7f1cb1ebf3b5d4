#pragma once
// Turns a file holding one LZMA-alone stream into the decoded file.

#include "util/wide_string.h"

// True when targetPath holds the decoded member. An empty or missing source
// gives an empty target. On failure shows, without owner window, with the
// installer's caption, MB_ICONERROR | MB_TOPMOST:
//   "Error whilst uncompressing '<target>', unable to read '<source>'"
//     for a refused header, corrupt or truncated data, or an unreadable source;
//   "Error whilst uncompressing '<target>', unable to write '<target>'"
//     when memory runs out (no allocation failure escapes) or the target
//     cannot be created or written.
// The member is decoded into a new file beside the target, which replaces
// the target only when the whole member is there: on failure the target is
// as it was and the new file is gone.
bool DecompressFile(const WideString& sourcePath, const WideString& targetPath);

// The write message above, for the callers on the way to DecompressFile
// that run out of memory themselves.
void ShowUncompressWriteError(const WideString& targetPath);
