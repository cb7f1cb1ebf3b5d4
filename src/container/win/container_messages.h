#pragma once
// The "[Message]" entries of a container script, shown before any inner
// installer runs.

#include "util/wide_string.h"
#include "util/win/sync.h"

// Shows every "[Message]" of the script at scriptPath in file order, without
// owner window, with caption State().InstallerTitle: "Error", "Question",
// "Information" and "Warning" with their icons and OK, any other type with
// OK alone, "QuestionYesNo" with the question icon and Yes and No. The 32-bit
// condition line is never shown. Stops before the next line once stopEvent
// is set. Returns false when a "QuestionYesNo" was answered No (the rest is
// not shown), true otherwise, also when the script cannot be read.
bool ShowContainerMessages(const WideString& scriptPath, const NamedEvent& stopEvent);
