#pragma once
// The restart countdown's rules: how long it runs, what each timer tick
// shows and the line of text that says so.

#include <cstdint>

#include "util/wide_string.h"

constexpr int kRestartCountdownSeconds = 40;

// The seconds the countdown shows once elapsedMs have passed since it
// started: 40 less the whole seconds passed, while those are 40 or fewer
// (so 0 during the last second); -1 once more than 40 whole seconds have
// passed, the moment to restart. elapsedMs is a tick-count difference.
int CountdownSecondsLeft(uint32_t elapsedMs);

// "Automatic reboot in %d second%s", the "s" left out for 1 only; for 0 the
// line is "Rebooting now..." instead.
WideString CountdownLine(int seconds);
