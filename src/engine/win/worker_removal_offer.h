#pragma once
// The install worker's offer to remove an installed version of the same
// product before the new one goes in.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// The question shown to the user; the two version lines appear only when
// the new version is known.
WideString RemovalQuestion(const WideString& projectName, const WideString& newVersion,
                           const WideString& existingVersion);

// The old uninstaller's command line with "--sayonrebootruninst" put before
// every "--uninstall=".
WideString RemovalCommandLine(const WideString& uninstallString);

// Asks Yes/No/Cancel when "...\Uninstall\<ProjectName>" (HKLM, or HKCU
// in a per-user run) holds an
// "UninstallString". Yes runs that uninstaller and waits for it (then 4 s
// more); No keeps the old version. Returns false when the install must not
// go on: Cancel, or the old uninstaller started a restart of Windows
// (State().RebootEvent). State().InstallFailed is set in those cases.
[[nodiscard]] bool OfferOldVersionRemoval(HWND window);

// The product installed in the other scope (for all users when this run is
// for the current user alone, or the other way round) is named in a
// message (the log when silent); this run goes on beside it, and each
// install keeps its own entry and uninstaller.
void NameOtherScopeInstall(HWND window);
