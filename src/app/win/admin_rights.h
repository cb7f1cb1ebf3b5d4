#pragma once
// Whether this process may write where an install writes.

// True when "<Program Files>PloveInstaller.TMP" can be created for writing;
// the file is closed and deleted again at once. Nothing is reported.
bool HasAdminRights();

// True on Windows XP and Server 2003 (5.1 up to, not including, 6.0), whose
// elevation dialog asks for another account. The version is asked once.
bool IsWindowsXpFamily();
