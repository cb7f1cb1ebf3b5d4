#pragma once
// The "[Registry]" directive of the install script.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// "HKCR", "HKCU", "HKLM", "HKCC" or "HKU" (exact case); nullptr for any
// other text.
HKEY RegistryRootFromName(const WideString& name);

// The hive a "[Registry]" line of this run writes, with its key path
// adjusted: "HKA" is the product's own root (HKLM, or HKCU per user); in a
// per-user run "HKCR" is the user's own classes (HKCU\Software\Classes),
// and the machine's roots (HKLM, HKCC, HKU) give nullptr: such a line has
// no per-user meaning. Otherwise as RegistryRootFromName.
HKEY RegistryRootOfLine(const WideString& name, WideString& keyPath);

// The five value lines of a "[Registry]" directive, in script order.
struct RegistryDirective {
  WideString root;
  WideString keyPath;
  WideString type;
  WideString valueName;
  WideString data;
};

// Writes the value. "DWORD" data is a decimal number, "BINARY" data names a
// payload member whose bytes become the value, any other type is a string
// with folder macros. String and DWORD values under HKEY_CURRENT_USER go
// through the relay file when State().RelayPath is set, so they land in the
// account of the user who started the installer. A line without per-user
// meaning in a per-user run is skipped (logged). Only a member that cannot
// be extracted is reported ("Unable to extract '%s'", owner window); every
// other failure is silent.
void ApplyRegistryDirective(const RegistryDirective& directive, HWND window);
