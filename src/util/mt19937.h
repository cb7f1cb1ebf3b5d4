#pragma once
// The MT19937 Mersenne Twister with its standard constants, and the mapping
// of a raw output to a number below n that the random source uses.

#include <cstdint>

class Mt19937 {
 public:
  explicit Mt19937(uint32_t seed = 5489u) { Seed(seed); }
  void Seed(uint32_t seed);
  uint32_t Next();

 private:
  uint32_t state_[624];
  int index_ = 624;
};

// (1 + x / 2^32 - 1) * n, truncated, at most n - 1; n = 0 gives x itself.
uint32_t ScaleRandom(uint32_t x, uint32_t n);
