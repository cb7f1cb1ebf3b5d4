#pragma once
// The folders an upgrade's removal of the old version leaves: its
// uninstaller removes the folders it empties, but while the run lasts the
// old files' kept links (run_journal.h) are still in them. Once the run has
// committed and the links are gone, they are removed here.

#include <vector>

#include "util/wide_string.h"

// Climbs from the folder of each of the old version's files towards the
// drive root as its uninstaller does, removing each folder that is empty
// now; stops at the first that holds anything (a file of the new version,
// someone else's), at the folders no uninstall removes (system, Windows,
// program, Startup, Start menu programs, desktop, Quick Launch and
// documents folders) and at a path of 3 characters or fewer. A folder with
// a link on its way (a junction, a symbolic link) is left alone, link and
// all: nothing is removed through one.
void RemoveOldVersionFolders(const std::vector<WideString>& oldFiles);
