#pragma once
// Who an uninstall record belongs to, and where that product was installed.

#include "util/wide_string.h"

// The record file's name without folder and extension, from the character
// after its first "-" ("PloveUninstall-App.dat" gives "App"); the whole name
// when it has no "-".
WideString ProductNameFromRecord(const WideString& recordPath);

// The product's "InstallTo" value under HKLM "...\Uninstall\<product>",
// ending in a backslash; "Q:\invalid\" when missing or empty, so that
// destinations below it match no real file.
WideString ReadInstallFolder(const WideString& productName);

// Uninstaller arguments with the record named by its full path (folder
// macros expanded, a relative path taken from the current folder), for an
// elevated copy, which does not start in this process's current folder.
// Unchanged when they name no record.
WideString WithFullRecordPath(const WideString& arguments);
