#pragma once
// Machine code as far as the x86 branch filter sees it, for the packer's and
// the payload's tests on either side: calls (E8) and jumps (E9) to a few
// dozen functions from everywhere, between other instruction bytes. With the
// filter the calls' targets repeat and LZMA finds them.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

inline std::vector<uint8_t> MachineCode(size_t size, unsigned seed = 5) {
  std::mt19937 random(seed);
  const uint8_t filler[] = {0x48, 0x89, 0xC7, 0x8B, 0x45, 0xF8, 0x83, 0xEC, 0x20, 0x5D, 0xC3, 0x90, 0x31, 0xC0};
  std::vector<uint8_t> code;
  code.reserve(size);
  while (code.size() + 5 <= size) {
    if (random() % 4 == 0) {
      const uint32_t target = 0x1000 + (random() % 40) * 0x180;
      const uint32_t relative = target - static_cast<uint32_t>(code.size() + 5);
      code.push_back(random() % 3 == 0 ? 0xE9 : 0xE8);
      for (int i = 0; i < 4; ++i) code.push_back(static_cast<uint8_t>(relative >> (8 * i)));
    } else {
      code.push_back(filler[random() % sizeof filler]);
    }
  }
  code.resize(size, 0x90);
  return code;
}
