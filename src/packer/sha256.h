#pragma once
// The packer's SHA-256 is the one of the utilities.
#include "util/sha256.h"
