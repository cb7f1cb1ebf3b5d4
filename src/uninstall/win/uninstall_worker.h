#pragma once
// The uninstall engine: removes one installed product as its uninstall
// record describes it. Reads State().UninstallRecordPath (folder macros
// allowed), ProjectName, InstallTo and InstallerTitle, set by the
// uninstaller's entry; reports progress through the progress fields under
// ProgressLock and sets State().UninstallRebootRequired when a file has to
// wait for the next restart. State().Outcome: Completed, or Failed when the
// record could not be read: then nothing is removed (the entry and the
// uninstaller stay) and a message says why.

#include "util/wide_string.h"
#include "util/win/sync.h"
#include "util/win/windows_api.h"

// A WorkerProcedure. It always runs to the end (the stop event is not
// looked at); window only owns its error message box.
void UninstallWorker(NamedEvent& stopEvent, void* window);

// The removal steps for one path, in the order the worker uses them.
// UnregisterDll: for ".dll" and ".ocx" files, "DllUnregisterServer" or
// regsvr32 "/u /s"; silent.
void UnregisterDll(const WideString& path);
// For ".exe" files, deletes HKLM "...\App Paths\<file name>" with its subkeys.
void RemoveAppPath(const WideString& path);
