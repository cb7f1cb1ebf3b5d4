#pragma once
// What an install for the current user alone does differently from one for
// every user: where the product's entry, records and programs go, and which
// lines of the script it leaves out because they have no per-user meaning
// (the machine's registry, Windows' own folders, self-registering DLLs).

#include "script/install_scope.h"
#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Makes scope the run's: State().Scope, and for a per-user run the rules of
// what it makes for itself (its profile's) and the claim of its product
// (its user's alone).
void EnterRunScope(RunScope scope);

// State().Scope is the current user's.
bool PerUserRun();

// Where the product's Uninstall entry, App Paths and saved folder live:
// HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER in a per-user run.
HKEY ProductRegistryRoot();

// The user's own program folder (FOLDERID_UserProgramFiles, which is
// "%LOCALAPPDATA%\Programs"), with a trailing backslash; empty when the
// profile has no local application data folder.
WideString UserProgramsFolder();

// "%LOCALAPPDATA%\PloveUninstall\": a per-user product's record, uninstaller
// and rollback journal.
WideString UserUninstallFolder();

// The current user's SID as text ("S-1-5-21-..."); empty when the token
// cannot be read.
WideString CurrentUserSid();

// Logs that a per-user run leaves out what (a script line, a file) and why.
void LogSkippedForUser(const WideString& what, const WideString& why);
