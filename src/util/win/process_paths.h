#pragma once
#include "util/wide_string.h"
// The running executable's path, without quotes.
WideString ModulePath();
// GetCommandLineW without the program part, trimmed of spaces.
WideString CommandLineArguments();
