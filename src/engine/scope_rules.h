#pragma once
// What a script line asks of the machine that an install for the current
// user alone cannot do: registry roots outside the user's own hive, and
// destinations in the folders of Windows. The linter refuses such lines in
// a "user" script and notes them in an "either" one (a per-user run skips
// them).

#include <string>

#include "util/wide_string.h"

// Why a [Registry] root has no per-user meaning (one clause, UTF-8), or
// empty for HKCU, HKA and HKCR (a per-user install writes HKCR's keys to
// the user's own classes, HKCU\Software\Classes) and for names that are no
// root at all.
std::string MachineOnlyRootReason(const WideString& root);

// The first folder macro of Windows' own folders ("<System>",
// "<SystemWOW64>", "<Windows>", as the line writes it) anywhere in path, or
// empty: a per-user install skips every path that names one. Macros match
// in any letter case, as the installer matches them.
WideString WindowsFolderMacroIn(const WideString& path);

// True when the installer registers a file placed at destination (its
// extension is .dll or .ocx, any letter case) when it exports
// "DllRegisterServer".
bool IsRegisteredExtension(const WideString& destination);
