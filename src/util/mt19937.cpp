#include "util/mt19937.h"

void Mt19937::Seed(uint32_t seed) {
  state_[0] = seed;
  for (uint32_t i = 1; i < 624; ++i) state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
  index_ = 624;
}

uint32_t Mt19937::Next() {
  if (index_ >= 624) {
    for (int i = 0; i < 624; ++i) {
      uint32_t y = (state_[i] & 0x80000000u) | (state_[(i + 1) % 624] & 0x7FFFFFFFu);
      state_[i] = state_[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
    }
    index_ = 0;
  }
  uint32_t y = state_[index_++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

uint32_t ScaleRandom(uint32_t x, uint32_t n) {
  if (n == 0) return x;
  double unit = (1.0 + x / 4294967296.0) - 1.0;
  auto scaled = static_cast<uint32_t>(unit * n);
  return scaled < n - 1 ? scaled : n - 1;
}
