#pragma once
// Who an install is for, settled once at the start of the run from the
// script's "[InstallScope]" and the command line's "--allusers" /
// "--currentuser" (script/install_scope.h has the rule). A run for the
// current user alone never elevates: the first process installs.

#include "script/install_scope.h"
#include "util/wide_string.h"

// The script's scope and product name, read from its "[InstallScope]" and
// "[Project Name]" lines. A script without the line, or with a value that
// names no scope (logged), is a machine install's.
struct ScriptScopeFacts {
  InstallScope scope = InstallScope::Machine;
  WideString projectName;
};
ScriptScopeFacts ReadScriptScope(const WideString& scriptPath);

// Settles State().Scope (and State().AsksForScope) for the payload's
// script. elevatedCopy: this is the elevated copy, which installs for every
// user. False when the run cannot go on: a command line the script refuses,
// or a silent run of an "either" script that cannot elevate; the message
// was shown (logged when silent) and the run ends with 1603.
bool SettleRunScope(bool elevatedCopy);
