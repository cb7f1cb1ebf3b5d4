#pragma once
// The first process's part of an install (and of an uninstall without
// administrator rights): it starts the elevated copy of itself, waits for
// it, serves the relay file meanwhile and takes over the copy's result.

#include "restart/win/relay_file.h"
#include "util/wide_string.h"
#include "util/win/windows_api.h"

struct LaunchResult {
  bool started = false;
  DWORD error = 0;     // when not started: why (ERROR_CANCELLED: the user declined elevation)
  DWORD exitCode = 0;  // when started: the program's process exit code
  RelayResult relay;   // what the copy handed over through the relay file
};

// Starts file with parameters through ShellExecuteExW (verb "runas" unless
// this process has administrator rights already), without any window of the
// shell's own on failure, lets it take the foreground and waits until it
// has ended, in slices of 1,000 ms. Between slices: hides focusWindow (when
// given) once 5 s have passed, and when relayPath is given and that file is
// not empty, performs its commands. The calling thread's window messages
// are served while it waits, so the focus window keeps painting and can be
// dragged. The last look at the relay file after the end is the caller's.
LaunchResult RunElevatedAndWait(const WideString& file, const WideString& parameters, HWND focusWindow,
                                const WideString& relayPath);

// This process's own arguments, as a relaunch passes them on: unchanged,
// except that the log option names the open log by its full path (the
// elevated copy does not start in this process's current folder).
WideString RelaunchArguments();

// The exit code a launch gives to the process that waited for it: a launch
// declined at the elevation prompt 1602, any other failure to start 1603;
// a copy that handed over its result through the relay that result (1603
// for a code that is none of the installer codes), one that ended without
// (killed, crashed) 1603. relayGiven: the copy had a relay file to hand its
// result over; without, its process exit code counts.
int ExitCodeOfLaunch(const LaunchResult& launch, bool relayGiven);

// Starts this program elevated with
//   leadingOptions + "--IsElevated=\"<relay file>\"" [+ " --loghandle=N"] + " " + arguments
// (the log handle when a log is open; arguments: RelaunchArguments(), or
// those with a path made absolute that the copy must find too), waits for it serving the relay file,
// looks at the file once more after the end (only for the result when an
// uninstaller started by the copy is restarting Windows), removes the file
// and returns the exit code. copyRole names the copy in the log.
int RelaunchAndWait(const WChar* leadingOptions, const WideString& arguments, HWND focusWindow,
                    const WChar* copyRole);

// The whole job of the first process of an install once its payload is
// ready: the focus window, then RelaunchAndWait with options (each followed
// by a blank) and "--selfrun ". Returns the exit code.
int RelaunchElevated(const WideString& options = WideString());
