#pragma once
// Windows' count of the installed programs that use a shared file, as
// installers keep it: under HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows\CurrentVersion\SharedDLLs" one REG_DWORD per
// file, named by the file's full path (in the registry view of every other
// key of this program). A file that others count goes only when its count
// has come down to zero. Every change is logged.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

extern const WChar* const kSharedDllsKey;

// True for a path in the system folders ("<System>", "<SystemWOW64>",
// "<Windows>") or below them, whose files other programs share.
bool IsSharedSystemFile(const WideString& path);

// The path's count; 0 when there is none. A REG_BINARY count of four bytes,
// as some installers write it, is read as well.
DWORD SharedFileCount(const WideString& path);

// Adds one to the path's count (none counts as 0); returns the new count.
DWORD CountSharedFileUp(const WideString& path);

// Takes one off the path's count and returns what is left; at zero (also
// when there was none) the value is deleted.
DWORD CountSharedFileDown(const WideString& path);
