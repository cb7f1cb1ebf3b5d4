#pragma once
// The line reader for the install script, the uninstall record (narrow,
// ANSI code page) and the relay file (wide, UTF-16 LE). Returns false only
// at the end of the file with nothing read, so a reader loops until false.

#include "util/wide_string.h"
#include "util/win/disk_file.h"

bool ReadLine(DiskFile& file, WideString& line, bool wide);

// Reads the value lines of a directive; missing lines at the end of the file
// are left empty. values must have room for count strings.
void ReadValueLines(DiskFile& file, WideString* values, int count, bool wide = false);
