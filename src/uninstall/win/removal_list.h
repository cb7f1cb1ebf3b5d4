#pragma once
// The list of files and shortcuts that an uninstall removes, built from the
// product's uninstall record, less the files that the install only kept,
// the files that another product installed through either uninstaller
// folder still lists, and the shared files that other programs still count.

#include "util/string_list.h"
#include "util/wide_string.h"
#include "util/win/disk_file.h"

// A "[CopyFile]" destination as the uninstaller sees it: folder macros
// expanded (with the current State().InstallTo) and the platform markers
// "__PLI_WIN64" and "__PLI_UNICODE" removed.
WideString RemovalPath(const WideString& destination);

// What the record's marks (engine/record_marks.h) say of its files.
struct RecordMarks {
  StringList kept;     // kept at install: not this product's to remove
  StringList counted;  // counted in Windows' shared-file counts
};

// Reads the record from its current position to the end: "[CopyFile]"
// destinations join the list once each (their marks go to marks),
// "[CreateIcon]" shortcut paths join it always, and the value named by each
// "[Registry]" entry is deleted at once (its key stays, and is created empty
// when it was missing).
void CollectRemovals(DiskFile& record, StringList& removals, RecordMarks& marks);

// Takes the files that the install kept out of the list: they stay, and
// are not unregistered either.
void LeaveKeptFiles(const RecordMarks& marks, StringList& removals);

// For every other "PloveUninstall-*.dat" in the uninstaller folders
// (UninstallerFolders) and in the folder of recordPath, removes from the
// list, at most once per "[CopyFile]" of that record and searching from the
// end, the entry equal to its destination expanded as at that product's
// install: its install folder (ReadInstallFolder) and its "<Program Files>"
// (that of its folder). A record of this same product in the other folder
// (left by an install of the other kind) protects nothing.
void ProtectSharedFiles(const WideString& recordPath, StringList& removals);

// Counts each counted file down once; a file that is still counted after
// that stays (it leaves the list), one whose count reached zero goes as any
// other (its count value is deleted).
void ReleaseSharedCounts(const RecordMarks& marks, StringList& removals);
