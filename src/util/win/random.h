#pragma once
#include <cstdint>
// A number below n from the process-wide MT19937 source, seeded once from the
// clock, the performance counter and the tick count; n = 0 gives the raw
// 32-bit output. Safe from any thread.
uint32_t Random(uint32_t n);
