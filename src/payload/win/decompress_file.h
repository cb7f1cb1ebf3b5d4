#pragma once
// Turns a file holding one LZMA-alone stream into the decoded file.

#include "util/wide_string.h"

// True when targetPath holds the decoded member. An empty or missing source
// gives an empty target. On failure shows, without owner window, with the
// installer's caption, MB_ICONERROR | MB_TOPMOST:
//   "Error whilst uncompressing '<target>', unable to read '<source>'"
//     for a refused header, corrupt or truncated data, or an unreadable source;
//   "Error whilst uncompressing '<target>', unable to write '<target>'"
//     when memory runs out or the target cannot be created or written;
// and a target created by the call is deleted again.
bool DecompressFile(const WideString& sourcePath, const WideString& targetPath);
