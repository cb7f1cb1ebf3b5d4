#pragma once
// Removing the folders that an uninstall has emptied.

#include "util/wide_string.h"

// Climbs from folder towards the drive root, removing each folder that is
// empty (a folder that still holds anything stays and the climb goes on),
// and stops at a path of 3 characters or fewer or at one of the system,
// Windows, program (the run's own, and the machine's program and
// shared-files folders of both views), Startup, Start menu programs,
// desktop, Quick Launch and documents folders, which are never removed.
void RemoveEmptyFolders(const WideString& folder);

// Deletes the hidden temporary files ("~PLI*.tmp") that member decoding
// left in folder when an install was interrupted; never in a protected
// folder. True when one was deleted.
bool RemoveLeftTempFiles(const WideString& folder);
