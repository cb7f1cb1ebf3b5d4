#pragma once
// The version of an installed product, as its uninstall record states it.

#include "util/wide_string.h"

// The line after the first "[ProgramVersion]" line of the record; "[Unkonwn]"
// (sic, the text users have always seen) when the record cannot be opened
// or has no such line.
WideString ReadRecordVersion(const WideString& recordPath);
