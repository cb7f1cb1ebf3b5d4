#pragma once
// What every process of this system does first.

// Asks Windows not to show its own boxes for critical errors ("There is no
// disk in the drive") and for files that cannot be found: the call then
// simply fails, and a silent run never waits on a box nobody answers.
void PrepareProcess();
