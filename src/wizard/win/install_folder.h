#pragma once
// The install folder before the first page shows: never a drive root or
// the current folder by accident.

#include "util/wide_string.h"
#include "wizard/win/script_scan.h"

// Checks State().InstallTo as the scan left it, once its folder macros are
// expanded. A full path (IsFullFolderPath, wizard_rules.h) stays, and so
// does no folder at all for a script whose "[CopyFile]" destinations do not
// use "<Destination>". A folder the command line named that is no full path
// (an empty "--installto=", a relative one) gives way to the folder the
// script and an earlier install give, when that one is a full path; the
// install log says so. Otherwise "The install folder '%s' is not a full
// path ..." is shown (logged when silent) and the result is false: the
// wizard ends and nothing is installed. defaultInstallPath receives the
// folder in use as the script writes it, for "Choose".
bool SettleInstallFolder(const ScriptScan& scan, WideString& defaultInstallPath);
