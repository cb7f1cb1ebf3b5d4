#pragma once
// A per-user uninstaller's own file, deleted at the user's next logon: the
// uninstaller cannot delete itself while it runs, and Windows' list of
// deletions at the restart is the machine's, which a user may not write.
// A RunOnce value of the user's ("PloveUninstall-<product>") runs the
// deletion once.

#include "util/wide_string.h"

// Asks for path's deletion at the next logon. False when the value could
// not be written.
bool DeleteAtNextLogon(const WideString& path, const WideString& product);

// Takes back the product's deletion at the next logon (a new install has
// put its uninstaller where the old one was), noted in the run's journal
// first. True when one was pending.
bool CancelDeletionAtNextLogon(const WideString& product);
