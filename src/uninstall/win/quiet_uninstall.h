#pragma once
// The uninstall that "--silent" asks for: no window at all.

// Runs the uninstall engine on the calling thread with the run state that
// the uninstaller's entry has set, then, when files wait for the next
// restart, asks Windows to restart (not with "--noautoreboot") as the
// uninstall window's "Finish" would, and signals State().RebootEvent when
// a restart was requested. The outcome is in State().Outcome.
void RunQuietUninstall(bool sayOnReboot);
