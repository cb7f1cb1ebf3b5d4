#pragma once
// Temporary files and folders in the Windows temporary folder (fallback
// "C:\Temp"). Each function works on a string that names what it made, so
// the owner can delete it again.

#include "util/wide_string.h"

// The temporary folder with a trailing backslash.
WideString TempFolder();
// Deletes the file name already holds, then makes a new empty temporary
// file "<temp><prefix>XXXX.tmp" (+ suffix when given) and stores its name in
// name. prefix8 and suffix8 are 8-bit ANSI texts; a null prefix means "TMP",
// an empty one no prefix at all.
// The file is always a new one (an existing name is another try, never
// opened). Returns false (name empty) when no file could be created.
bool MakeTempFileName(WideString& name, const char* prefix8, const char* suffix8 = nullptr);
// Deletes the file name holds and clears name.
void DeleteTempFile(WideString& name);
// Removes the folder already held, then creates a new "PLI" folder under an
// unguessable name (an existing name is another try, never used) and stores
// its path (with trailing backslash) in folder; folder is empty when none
// could be made. An administrator's folder gets rules for the administrative
// accounts alone.
bool MakeTempFolder(WideString& folder);
