#pragma once
// What the running install did with each file that a "[CopyFile]" gave it,
// by destination path (folder macros expanded, ASCII case ignored): placed
// it - copied it there, or staged it to take the place of a file in use at
// the next restart - or kept the file already there, which the version rule
// found as new as the payload's or newer. The uninstall record tells the
// uninstaller from this which files are the product's own.
//
// Noted by file placement on the install worker's thread; read when the
// uninstall record is written, on that thread or after it has ended.

#include <cstdint>

#include "util/wide_string.h"

enum class FileFate : uint8_t {
  NotReached,  // no placement of that path has ended yet
  Placed,
  Kept,
};

void NoteFilePlaced(const WideString& path);
// A path placed before in this install stays placed: it holds what this
// product put there.
void NoteFileKept(const WideString& path);

FileFate FateOf(const WideString& path);

// Grows whenever a path's fate changes; equal counts mean nothing new.
uint32_t InstalledFilesChanges();

// Forgets every note (tests run several installs in one process).
void ForgetInstalledFiles();
