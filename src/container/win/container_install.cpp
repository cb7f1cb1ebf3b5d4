#include "container/win/container_install.h"

// Containers are not run yet: every payload is an ordinary install.
bool RunContainerIfAny(int*) { return false; }
