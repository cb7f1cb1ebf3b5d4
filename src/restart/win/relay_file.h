#pragma once
// The relay file through which the elevated copy hands work that belongs to
// the user's own account back to the first process: program runs and
// HKEY_CURRENT_USER values. UTF-16 LE text without byte-order mark, "\r\n"
// after each line; one command at a time, a tag line and three value lines:
//   "[run]"                 program, arguments, wait flag (decimal)
//   "[setreg_hkcu_dword]"   value name, key path, decimal number
//   "[setreg_hkcu_string]"  value name, key path, text

// WatchParentProcess() (from parent_process.h) notes the first process early;
// the first SendRelayCommand does it otherwise.
#include "restart/win/parent_process.h"
#include "util/string_list.h"
#include "util/wide_string.h"

// Elevated copy: writes the command (tag and its three lines) to
// State().RelayPath, trying up to 50 times 100 ms apart, then waits while
// the file exists, i.e. until the first process has performed the command.
// The wait also ends when the process that started this one has ended, so
// a vanished first process cannot hang the install; the unread file is then
// removed. A command that cannot be written is dropped.
void SendRelayCommand(const StringList& lines);
// The same with an explicit relay file path.
void SendRelayCommand(const WideString& relayPath, const StringList& lines);

// First process: after 500 ms, performs every command of the file in order
// and deletes it (up to 10 attempts, 100 ms apart). A missing file is
// nothing to do.
void ProcessRelayCommands(const WideString& relayPath);
