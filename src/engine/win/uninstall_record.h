#pragma once
// What an install leaves behind for its removal: the uninstaller copy of the
// running executable (uninstaller_image.h), the uninstall record (the install script with the real
// install folder after "[Install To]") and the product's entry under the
// Windows "Uninstall" key. All products share one uninstaller folder.

#include "util/wide_string.h"

// "Software\Microsoft\Windows\CurrentVersion\Uninstall" (under
// HKEY_LOCAL_MACHINE) and the product's own key below it.
extern const WChar* const kUninstallKeyParent;
WideString UninstallKeyPath(const WideString& productName);

// "<Program Files>PloveUninstall\" expanded: the shared uninstaller folder,
// ending in a backslash.
WideString UninstallFolder();
// The uninstaller copy and the record of a product in that folder.
WideString UninstallerCopyPath(const WideString& productName);
WideString UninstallRecordPathFor(const WideString& productName);

// Writes the uninstaller copy, the record and the registry values of
// State().ProjectName, and the saved install path when the script asks for
// it. A deletion at the next restart that is pending for the copy's path
// (an old version's uninstaller removing itself) is cancelled once the new
// copy is in place. Does nothing when State().UninstallAllowed is clear or
// when it has run before in this process (State().UninstallRecordWritten).
// Failures are not reported: each later step runs anyway.
void WriteUninstallRecord();

// Copies program (the running installer) whole to copyPath through a
// temporary "Ins" file: the uninstaller copy of an installer without a
// recipe for a smaller one (uninstaller_image.h). True when copyPath now holds the copy; when program is empty
// or cannot be read, copyPath is left as it was.
bool CopyUninstaller(const WideString& program, const WideString& copyPath);

// The record path of an uninstaller command line: the text after the first
// "<uninstall>", or when that gives nothing, after the first "--uninstall=",
// to the end of the line, with one leading and one trailing double quote
// removed. Empty when neither option is there.
WideString UninstallRecordArgument(const WideString& commandLine);
