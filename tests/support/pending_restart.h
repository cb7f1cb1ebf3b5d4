#pragma once
// What waits for the next restart of Windows, and that restart under Wine.

#include "util/string_list.h"

// The files of HKLM "...\Session Manager" "PendingFileRenameOperations" that
// are deleted or renamed at the next restart, in order, without their "\??\"
// prefix.
StringList PendingRenameSources();

// Restarts the test's own Wine prefix ("wineboot -r"), which performs the
// pending renames, and waits for it (at most two minutes).
bool RestartWinePrefix();
