#pragma once
// The install worker: offers to remove an older installed version, then
// performs the install script's directives in file order and finally
// registers the placed DLL and OCX files. It talks to the wizard only
// through State(): progress fields under ProgressLock, InstallFailed,
// RebootRequired, the optional finish-page entries and Outcome.

#include "util/win/sync.h"
#include "util/win/windows_api.h"

// A WorkerProcedure: window is the wizard's HWND, owner of every message
// box. Reads ProjectName, ProgramVersion, InstallTo (expanded),
// InstallerTitle, OfferUninstallOld, Silent, Install64Bit and Is64BitWindows
// from State(); leaves the result in State().Outcome, settled under
// ProgressLock (State().WorkerSettled): once InstallFailed is set (a cancel,
// even one confirmed during the last steps, or a file that could not be
// placed) the install does not count as completed, and every change of the
// run is undone (engine/win/run_rollback.h) before the worker returns.
void InstallWorker(NamedEvent& stopEvent, void* window);
