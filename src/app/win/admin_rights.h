#pragma once
// Whether this process may write where an install writes.

// True when a file "PloveInstaller-<process>-<n>.TMP" (a name no other run
// uses) can be created for writing in the machine's program folder, also
// in a per-user run; it is deleted again as it
// is closed, at once. Nothing is reported.
bool HasAdminRights();

// True on Windows XP and Server 2003 (5.1 up to, not including, 6.0), whose
// elevation dialog asks for another account. The version is asked once.
bool IsWindowsXpFamily();
