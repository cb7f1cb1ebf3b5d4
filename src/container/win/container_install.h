#pragma once
// The container run: a payload whose script holds "[InstallContainer]"
// carries complete installers of this system, which are run one after
// another instead of an install.

// Runs the container when the payload's script is a container script and
// returns true with the run's exit code in *exitCode; false (and nothing
// done) otherwise.
bool RunContainerIfAny(int* exitCode);
