#pragma once
// The conditional 32-bit line of a container script: a "[Message]" text of
// the form value name, "{force32bitinstallif}", path relative to the folder
// saved under that value name.

#include "util/wide_string.h"

// Splits text at every "{force32bitinstallif}" (exact, case-sensitive). The
// text before each separator is one piece and the text after the last one
// is the last piece, so empty pieces count. True only with exactly two
// pieces: valueName receives the first and relativePath the second, both as
// they stand (an empty one stays empty; the caller decides what it means).
// Otherwise false with both cleared: a line without the separator, or with
// it more than once.
bool SplitForce32BitCondition(const WideString& text, WideString& valueName, WideString& relativePath);
