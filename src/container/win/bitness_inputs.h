#pragma once
// What the container reads from the machine to choose between the 32-bit
// and 64-bit variants of its inner installers.

#include "util/wide_string.h"

// True when the right Shift key is down at this moment (GetKeyState). For
// tests of the real installer: when the environment variable
// PLOVE_TEST_RIGHT_SHIFT is set, the key counts as down for "1" and as up
// for any other value, whatever the keyboard says.
bool RightShiftHeld();

// The container script's 32-bit condition: true when some "[Message]" text
// of the script at scriptPath has the form name "{force32bitinstallif}"
// path, the string value name under HKEY_LOCAL_MACHINE
// "Software\PloveInstall" holds a folder, and the path exists below that
// folder. False when the script cannot be read.
bool Force32BitConditionHolds(const WideString& scriptPath);
