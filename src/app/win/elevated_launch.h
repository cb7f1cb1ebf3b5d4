#pragma once
// The first process's part of an install: it starts the elevated copy of
// itself, waits for it and serves the relay file meanwhile.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

struct LaunchResult {
  bool started = false;
  DWORD error = 0;     // when not started: why (ERROR_CANCELLED: the user declined elevation)
  DWORD exitCode = 0;  // when started: the program's exit code
};

// Starts file with parameters through ShellExecuteExW (verb "runas" unless
// this process has administrator rights already), lets it take the
// foreground and waits until it has ended, in slices of 1,000 ms. Between
// slices: hides focusWindow (when given) once 5 s have passed, and when
// relayPath is given and that file exists with a size other than 0, performs
// its commands. The calling thread's window messages are served while it
// waits, so the focus window keeps painting and can be dragged.
LaunchResult RunElevatedAndWait(const WideString& file, const WideString& parameters, HWND focusWindow,
                                const WideString& relayPath);

// This process's own arguments, as a relaunch passes them on: unchanged,
// except that the log option names the open log by its full path (the
// elevated copy does not start in this process's current folder).
WideString RelaunchArguments();

// The exit code a launch gives to the process that waited for it.
int ExitCodeOfLaunch(const LaunchResult& launch);

// The whole job of the first process once its payload is ready: the focus
// window, the relay file, the elevated copy of this program with
// "--selfrun --IsElevated=\"<relay file>\"" before this process's own
// arguments, a last pass over the relay file unless an uninstaller started
// by the copy is restarting Windows, and clean-up. Returns the exit code.
int RelaunchElevated();
