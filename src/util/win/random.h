#pragma once
#include <cstdint>
// A number below n from the process-wide MT19937 source, seeded once from the
// clock, the performance counter and the tick count; n = 0 gives the raw
// 32-bit output. Safe from any thread.
uint32_t Random(uint32_t n);
// Fills buffer with bytes of the system's cryptographic source (the names
// nobody may guess: temporary folders, kept-aside files). False when the
// source fails, which it does not in practice.
bool CryptoRandom(void* buffer, unsigned long size);
