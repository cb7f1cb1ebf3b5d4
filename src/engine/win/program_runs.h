#pragma once
// Running programs for the install engine, the finish actions, the relay
// and the uninstaller, and the self-registration of DLL/OCX files.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Registers every file of DllRegistrationList() in order through its own
// "DllRegisterServer" export, or, when it cannot be loaded in this process,
// with "<Windows>\system32\regsvr32.exe /s"; then empties the list. Silent.
// COM must be initialised on the calling thread.
void RegisterDlls();
// One file the same way (the export result is ignored).
void RegisterDll(const WideString& path);
// The uninstaller's counterpart: "DllUnregisterServer", or regsvr32 with
// "/u /s" when the file cannot be loaded. Silent; the extension is not
// looked at here.
void UnregisterDllServer(const WideString& path);

// CreateProcessW of the command line (no handle inheritance, normal
// priority, default start-up information). False when the process was not
// created; GetLastError() still tells why. With wait, blocks until it ends.
bool StartProcess(const WideString& commandLine, bool wait);

// ShellExecuteExW with the "runas" verb. False when it could not start.
bool ShellRunAs(const WideString& file, const WideString& parameters, bool wait);

// How RunProgram starts what it cannot hand over or open as a document.
struct ProgramStarters {
  bool (*startProcess)(const WideString& commandLine, bool wait);
  bool (*shellRunAs)(const WideString& file, const WideString& parameters, bool wait);
};
// Tests only: replaces StartProcess and ShellRunAs in RunProgram (nullptr
// restores them), so that a program needing elevation can be staged.
void SetProgramStartersForTests(const ProgramStarters* starters);

// Runs a script program line. program may start with "<TempInstall>" (a
// payload member run from a temporary file) and may hold folder macros.
// afterFiles: files have been placed, so a program that does not ask for
// administrator rights is handed to the first process through the relay
// file and runs as the user. Failures show "Error whilst running '%s'%s"
// (owner, caption State().InstallerTitle) unless State().Silent is set.
void RunProgram(const WideString& program, const WideString& parameters, bool wait, bool afterFiles,
                HWND owner);
