#pragma once
// What an elevated run knows, without looking again, of the folders it made:
// a folder it created in a folder whose entries only administrators may add,
// rename or remove is still the real folder it made, not a link someone put
// in its place, and its own entries are as closed to others as its parent's
// (it inherited them). The link walk before each placement
// (engine/win/product_folder.h) skips such levels instead of listing and
// opening each one again for every file.
//
// Nothing is known until a caller names a folder whose entries only
// administrators may change (Windows' own Program Files folders, in an
// elevated run for the machine); a per-user run names none. Once any program is
// started, nothing is known for the rest of the process: the program may
// change what it likes, and may still be running. Paths are compared as
// written, ignoring ASCII case and closing backslashes, so a path written
// differently is simply not known. Safe from several threads.

#include "util/wide_string.h"

// Only administrators may add, rename or remove entries of folder.
void VouchForEntriesOf(const WideString& folder);

// This process has just created folder (the creation succeeded, so nothing
// was there before). When its parent's entries are vouched for, folder
// itself and its own entries are.
void NoteFolderMade(const WideString& folder);

// True when folder was made by this process in a folder whose entries are
// vouched for: no link can have taken its place since.
bool FolderMadeInVouchedFolder(const WideString& folder);

// A program was started: nothing is vouched for from now on.
void StopVouchingForFolders();
