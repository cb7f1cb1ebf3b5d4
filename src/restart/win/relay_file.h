#pragma once
// The relay file through which the elevated copy hands work that belongs to
// the user's own account back to the first process: program runs and
// HKEY_CURRENT_USER values, and at its end its own exit code. UTF-16 LE text
// without byte-order mark, "\r\n" after each line; one command at a time, a
// tag line and three value lines:
//   "[run]"                 program, arguments, wait flag (decimal)
//   "[setreg_hkcu_dword]"   value name, key path, decimal number
//   "[setreg_hkcu_string]"  value name, key path, text
//   "[result]"              exit code (decimal), two empty lines
// Lines that are no tag are skipped one by one. The first process and its
// copy are always the same program, so the format is theirs alone.
//
// The first process makes the file (a unique temporary name) and keeps it,
// empty, until it ends, so that no other run can be given the same name. An
// empty file means no command is in flight. Each side opens the file for
// itself alone while it writes, reads or performs, so neither ever sees half
// a command: while the first process performs a command (a program it waits
// for may run for minutes), the writer finds the file taken and waits on.

// WatchParentProcess() (from parent_process.h) notes the first process early;
// the first SendRelayCommand does it otherwise.
#include "restart/win/parent_process.h"
#include "util/string_list.h"
#include "util/wide_string.h"

// Elevated copy: writes the command (tag and its three lines) to
// State().RelayPath, trying up to 50 times 100 ms apart, then waits until
// the first process has performed it (the file is empty again). True when it
// was performed.
//
// False, with the failure in the install log and GetLastError() telling it,
// when the command could not be written whole, when nobody took it within
// 30 s of waiting (an elevated copy started by hand: nobody serves its
// file), when the process that started this one has ended, or when the file
// has gone. The unread command is then taken back, so it is never performed
// late.
bool SendRelayCommand(const StringList& lines);
// The same with an explicit relay file path.
bool SendRelayCommand(const WideString& relayPath, const StringList& lines);

// Elevated copy, as it ends: leaves "[result]" with its exit code for the
// first process, without waiting. False when it could not be written.
bool SendRelayResult(const WideString& relayPath, int exitCode);

// What the first process learnt from the file.
struct RelayResult {
  bool known = false;  // the copy handed over its exit code
  int exitCode = 0;
};

enum class RelayPass {
  Everything,
  ResultOnly,  // Windows is restarting: no command is performed, the result is read
};

// First process: performs every command of the file in order and empties
// it. An empty or missing file is nothing to do. A "[result]" is noted in
// result (when given); in the ResultOnly pass nothing else is performed.
void ProcessRelayCommands(const WideString& relayPath, RelayResult* result = nullptr,
                          RelayPass pass = RelayPass::Everything);
