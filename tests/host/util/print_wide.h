#pragma once
// The printer now lives with the other host test helpers; this keeps
// includes written against the old place compiling.
#include "../support/print_wide.h"
