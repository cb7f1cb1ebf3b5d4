#pragma once
// The "[Registry]" directive of the install script.

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// "HKCR", "HKCU", "HKLM", "HKCC" or "HKU" (exact case); nullptr for any
// other text.
HKEY RegistryRootFromName(const WideString& name);

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
// account of the user who started the installer. Only a member that cannot
// be extracted is reported ("Unable to extract '%s'", owner window); every
// other failure is silent.
void ApplyRegistryDirective(const RegistryDirective& directive, HWND window);
