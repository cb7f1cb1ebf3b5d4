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
// A file that registers itself: ".dll" or ".ocx" (ASCII case folded).
bool IsSelfRegisteringFile(const WideString& path);

// What became of a program run, for a caller that looks at it.
struct ProgramRunResult {
  // Started, or handed to the first process; false when the payload member
  // could not be extracted or the program not started.
  bool started = false;
  // This process waited for the program and read its exit code.
  bool exitCodeKnown = false;
  DWORD exitCode = 0;
};

// CreateProcessW of the command line (no handle inheritance, normal
// priority, default start-up information). False when the process was not
// created; GetLastError() still tells why. With wait, blocks until it ends
// and, when result is given, reads its exit code into it.
bool StartProcess(const WideString& commandLine, bool wait);
bool StartProcess(const WideString& commandLine, bool wait, ProgramRunResult* result);

// ShellExecuteExW with the "runas" verb. False when it could not start. The
// exit code as with StartProcess.
bool ShellRunAs(const WideString& file, const WideString& parameters, bool wait);
bool ShellRunAs(const WideString& file, const WideString& parameters, bool wait, ProgramRunResult* result);

// How RunProgram starts what it cannot hand over or open as a document.
struct ProgramStarters {
  bool (*startProcess)(const WideString& commandLine, bool wait);
  bool (*shellRunAs)(const WideString& file, const WideString& parameters, bool wait);
};
// Tests only: replaces StartProcess and ShellRunAs in RunProgram (nullptr
// restores them), so that a program needing elevation can be staged. Runs
// through replacements report no exit code.
void SetProgramStartersForTests(const ProgramStarters* starters);

// Runs a script program line. program may start with "<TempInstall>" (a
// payload member run from a temporary file) and may hold folder macros.
// afterFiles: files have been placed, so a program that does not ask for
// administrator rights is handed to the first process through the relay
// file and runs as the user. Failures show "Error whilst running '%s'%s"
// (owner, caption State().InstallerTitle) unless State().Silent is set.
// result, when given, tells whether the program started and, for a program
// waited for in this process, its exit code.
void RunProgram(const WideString& program, const WideString& parameters, bool wait, bool afterFiles,
                HWND owner, ProgramRunResult* result = nullptr);
