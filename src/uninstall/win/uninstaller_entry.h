#pragma once
// The uninstaller's main path, chosen by start-up when the command line
// holds "<uninstall>" or "--uninstall=" followed by an uninstall record.

// Makes sure the process has administrator rights (relaunching itself
// elevated, through the focus window, when it has not), fills the uninstall
// run state from the record's path and runs the uninstall window. Returns
// the exit code; a relaunching process returns its elevated copy's.
int RunUninstaller();
