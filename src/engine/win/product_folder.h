#pragma once
// The product's folder (State().InstallTo) against other users of the
// machine. A folder the installer creates outside the Program Files tree
// would inherit whatever its parent allows (Authenticated Users may modify
// under "C:\" and many a "D:\Apps"), and anyone who may write the product
// folder can put a link where the installer, and later the uninstaller,
// goes. Runs on the install worker's thread.

#include "util/wide_string.h"

// Once per product folder and process, before the first destination
// folder is made: an elevated run that creates the product folder outside
// Program Files gives the topmost level it creates Program Files' access
// rules (logged); a product folder that exists keeps its rules, and the log
// says when users who are not administrators can write it.
void GuardProductFolder();

// The first level at or below the product folder on the way to path that
// is a link (a junction, a symbolic link); empty when there is none or path
// does not lie in the product folder. The levels this run made where only
// administrators may change entries (util/win/folder_vouching.h) are not
// looked at again.
WideString LinkInProductFolder(const WideString& path);
