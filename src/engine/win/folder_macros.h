#pragma once
// Folder macros: names in angle brackets such as "<Program Files>",
// "<Destination>" or "<Start Programs>" that stand for folders known only on
// the target machine. Script text keeps its macros; every caller expands a
// copy just before it uses the text as a path.

#include "util/string_list.h"
#include "util/wide_string.h"

// Replaces, in place and ignoring ASCII case, "<System>", "<SystemWOW64>",
// "<Windows>", "<Destination>" (State().InstallTo), "<Program Files>" (the
// 64-bit program folder when State().Install64Bit is set; the user's own in
// a per-user run), "<Common Files>", "<Startup>", "<Start Programs>",
// "<DeskTop>", "<QuickLaunch>", "<MyDocuments>" and "<Source>" (the payload
// folder, when a payload is published), in that order. Every value ends in a backslash; afterwards doubled backslashes are
// collapsed, keeping a leading UNC pair. A shell folder that cannot be found
// leaves its macro in the text. Values may be of any length.
void ExpandFolderMacros(WideString& text);

// The machine's program folder (the 64-bit one where Windows has one),
// whatever the product and whoever the run installs for, with a trailing
// backslash; empty when Windows does not name it.
WideString MachineProgramFilesFolder();

// The machine's program and shared-files folders of both views, without
// trailing backslashes: folders no uninstall may remove, whichever view its
// product used.
StringList MachineProgramFolders();
