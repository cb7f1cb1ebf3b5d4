#pragma once
// What an install leaves behind for its removal: the uninstaller copy of the
// running executable (uninstaller_image.h), the uninstall record (the install script with the real
// install folder after "[Install To]") and the product's entry under the
// Windows "Uninstall" key. All products share one uninstaller folder.

#include "util/wide_string.h"

// "Software\Microsoft\Windows\CurrentVersion\Uninstall" (under
// HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER for a per-user product:
// ProductRegistryRoot()) and the product's own key below it.
extern const WChar* const kUninstallKeyParent;
WideString UninstallKeyPath(const WideString& productName);

// "<Program Files>PloveUninstall\" expanded: the shared uninstaller folder,
// ending in a backslash; a per-user run's is the user's own
// (UserUninstallFolder()).
WideString UninstallFolder();
// The uninstaller copy and the record of a product in that folder.
WideString UninstallerCopyPath(const WideString& productName);
WideString UninstallRecordPathFor(const WideString& productName);

// Writes the uninstaller copy, the record and the registry values of
// State().ProjectName, and the saved install path when the script asks for
// it. A deletion at the next restart that is pending for the copy's path
// (an old version's uninstaller removing itself) is cancelled once the new
// copy is in place. Each "[CopyFile]" entry of the record is followed by
// its marks (record_file_marks.h). Does nothing when
// State().UninstallAllowed is clear; when it has run before in this process
// (State().UninstallRecordWritten) it only writes the record file again,
// and only when files were placed or kept since (installed_files.h).
// False when the uninstaller copy cannot be written (nothing else is written
// then: the product is not installed, and the run is to fail); other
// failures are not reported.
bool WriteUninstallRecord();

// The record path of an uninstaller command line, or of an "UninstallString"
// value read back (RecordArgument, engine/record_argument.h): the quoted
// value of the first "<uninstall>" or, when that gives nothing, of the
// first "--uninstall=", or an unquoted one up to the next blank. Empty when
// neither option names one.
WideString UninstallRecordArgument(const WideString& commandLine);
