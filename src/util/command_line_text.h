#pragma once
#include "util/wide_string.h"

// The command line without its program part: when it starts with a double
// quote, everything up to and including the closing quote is dropped,
// otherwise everything up to and including the first space (all of it when
// there is none); then leading and trailing spaces are removed.
WideString ArgumentsAfterProgram(const WideString& commandLine);

// A module file name as GetModuleFileNameW may report it: a leading double
// quote and everything from the next double quote on are removed.
WideString UnquoteModulePath(const WideString& path);
