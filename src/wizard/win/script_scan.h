#pragma once
// The wizard's first look at the install script, before any page shows:
// project name and version, the install folder (the script's default, a
// saved folder, a shortcut's target folder, the previous install's folder,
// and the command line over all of them), the size of the files to copy,
// the flags the install worker reads later, and the Windows requirement.

#include "util/string_list.h"
#include "util/wide_string.h"

struct ScriptScan {
  bool requirementMet = true;      // false: the message was shown; the wizard ends at once
  bool projectNamed = false;       // the script has a [Project Name]
  WideString defaultInstallPath;   // as the script or the command line gives it, macros not expanded
  WideString scriptInstallPath;    // the same without the command line's folder
  bool commandLineFolder = false;  // "<installto>" or "--installto" names the folder
  StringList destinations;         // the [CopyFile] destination lines, verbatim
};

// Scans PublishedPayload()->PayloadFolder() + "setup.dat" and fills State():
// ProjectName, InstallerTitle ("%s Installer"), ProgramVersion, InstallTo
// (folder macros not expanded: the window expands it when it first shows
// it), Publisher, SaveInstallPathGiven and SaveInstallPathName,
// UninstallAllowed, OfferUninstallOld, TotalInstallSize (in KB once the scan
// is done) and Install64Bit (the twin rule applies only when
// State().Is64BitWindows is set).
//
// commandLine is the process command line without the log option
// (State().CommandLine); an install folder it names wins each time the
// script's folder changes.
//
// A script that cannot be opened reads as an empty one. "[Windows Version]"
// 4 on 32-bit Windows shows "This install requires Windows 64 bit or
// above." and ends the scan with requirementMet false; the remaining lines
// and the steps after the last line are then skipped. The calling thread
// must have initialised COM (shortcuts are resolved through the shell).
ScriptScan ScanInstallScript(const WideString& commandLine);
