#pragma once
// Who an uninstall record belongs to, where that product was installed, and
// the folders that hold the records.

#include <vector>

#include "util/wide_string.h"

// The record file's name without folder and extension, from the character
// after its first "-" ("PloveUninstall-App.dat" gives "App"); the whole name
// when it has no "-".
WideString ProductNameFromRecord(const WideString& recordPath);

// The product's "InstallTo" value under "...\Uninstall\<product>" (HKLM, or HKCU per user),
// ending in a backslash; "Q:\invalid\" when missing or empty, so that
// destinations below it match no real file.
WideString ReadInstallFolder(const WideString& productName);

// An uninstaller folder ("<Program Files>PloveUninstall\"), and whether
// "<Program Files>" was the 64-bit program folder for the products whose
// records it holds.
struct UninstallerFolder {
  WideString path;
  bool is64Bit = false;
};

// The uninstaller folders of the products that counts as 32-bit and as
// 64-bit: two on 64-bit Windows, one on 32-bit Windows (both are the same
// there). Uninstaller only: it sets State().Install64Bit for a moment.
std::vector<UninstallerFolder> UninstallerFolders();

// Whether path lies directly in one of them; is64Bit (when given) tells
// which (false for a folder that is neither).
bool InUninstallerFolder(const WideString& path, bool* is64Bit = nullptr);

// Uninstaller arguments with the record named by its full path (folder
// macros expanded, a relative path taken from the current folder), for an
// elevated copy, which does not start in this process's current folder.
// Unchanged when they name no record.
WideString WithFullRecordPath(const WideString& arguments);
