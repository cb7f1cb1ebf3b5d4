#pragma once
// A drive of a few MB for the tests of a full disk: a tmpfs that the suite's
// fixture (small-drive.sh) mounts in the suite's build folder, mapped here as
// drive S: of the test's own Wine prefix. Suites get it with
// plove_small_drive() in CMakeLists.txt.

#include <string>

#include "util/wide_string.h"

// Maps the drive on first use and gives its root ("S:\"). False, with the
// reason in whyNot, when the fixture could not mount it (it needs root) or
// did not run; such a test skips: GTEST_SKIP() << whyNot.
bool SmallDriveAvailable(WideString* root, std::string* whyNot);
