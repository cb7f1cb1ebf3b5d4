#pragma once
// The list of files and shortcuts that an uninstall removes, built from the
// product's uninstall record, less the files that another product installed
// through either uninstaller folder still lists.

#include "util/string_list.h"
#include "util/wide_string.h"
#include "util/win/disk_file.h"

// A "[CopyFile]" destination as the uninstaller sees it: folder macros
// expanded (with the current State().InstallTo) and the platform markers
// "__PLI_WIN64" and "__PLI_UNICODE" removed.
WideString RemovalPath(const WideString& destination);

// Reads the record from its current position to the end: "[CopyFile]"
// destinations join the list once each, "[CreateIcon]" shortcut paths join
// it always, and the value named by each "[Registry]" entry is deleted at
// once (its key stays, and is created empty when it was missing).
void CollectRemovals(DiskFile& record, StringList& removals);

// For every other "PloveUninstall-*.dat" in the uninstaller folders
// (UninstallerFolders) and in the folder of recordPath, removes from the
// list, at most once per "[CopyFile]" of that record and searching from the
// end, the entry equal to its destination expanded as at that product's
// install: its install folder (ReadInstallFolder) and its "<Program Files>"
// (that of its folder). A record of this same product in the other folder
// (left by an install of the other kind) protects nothing.
void ProtectSharedFiles(const WideString& recordPath, StringList& removals);
