#pragma once
// Before the removal offer runs an old version's uninstaller: everything of
// the old version that its uninstaller removes is kept in the run's journal
// (rollback/win/run_journal.h), so that a new install that then fails or is
// cancelled puts the old version back whole, with an uninstaller that works.

#include "util/wide_string.h"

// Keeps, by hard links beside them, the old record, the old uninstaller
// (the program of uninstallString) and the files and shortcuts the record
// lists; notes the values of the product's Uninstall key, of the record's
// "[Registry]" entries and of the App Paths of its programs; and notes the
// uninstaller's run, whose own actions cannot be undone. Nothing when no
// journal is open.
void KeepOldVersion(const WideString& uninstallString);
