// The decision to store a member without its full LZMA pass: what the fast
// probe of the first megabyte calls incompressible, and what it leaves to
// the full pass.
#include "packer/store_probe.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "machine_code.h"

namespace {

// Uniform bytes below limit (256: plain noise; 128: seven bits of entropy
// in eight, which LZMA packs by about an eighth).
std::vector<uint8_t> Noise(size_t size, unsigned limit) {
  std::mt19937 random(11);
  std::vector<uint8_t> data(size);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random() % limit);
  return data;
}

std::vector<uint8_t> Text(size_t size) {
  const std::string words = "the installer copies each file beside its destination and renames it into place\r\n";
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(words[(i * 7 + i / 97) % words.size()]);
  return data;
}

std::vector<uint8_t> Joined(std::vector<uint8_t> head, const std::vector<uint8_t>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

}  // namespace

TEST(StoreProbe, OnlyAFirstMegabyteThatDoesNotCompressIsStored) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    size_t divisor;
    bool store;
  };
  const Case cases[] = {
      {"empty", {}, 100, false},
      {"a few bytes of noise", Noise(4096, 256), 100, true},
      {"three megabytes of noise", Noise(3u << 20, 256), 100, true},
      {"text", Text(2u << 20), 100, false},
      {"seven bits a byte", Noise(2u << 20, 128), 100, false},
      // The same bytes, held to a saving of a half, which they do not reach.
      {"seven bits a byte, a half asked", Noise(2u << 20, 128), 2, true},
      // Only the first megabyte is looked at: what follows it is the full
      // pass's business (it stores what then does not compress).
      {"noise, then text", Joined(Noise(kStoreProbeBytes, 256), Text(2u << 20)), 100, true},
      {"text, then noise", Joined(Text(kStoreProbeBytes), Noise(2u << 20, 256)), 100, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StoreWithoutCompressing(c.data.data(), c.data.size(), c.divisor), c.store) << c.what;
  }
}

TEST(StoreProbe, TheBranchFilterIsChosenForMachineCodeAlone) {
  const std::vector<uint8_t> code = MachineCode(2u << 20, 2);
  const struct {
    const char* what;
    std::vector<uint8_t> data;
    size_t gain;  // 0: not asked
    bool store, x86;
  } cases[] = {
      {"machine code", code, 100, false, true},
      {"machine code, not asked", code, 0, false, false},
      {"machine code too short to pay", std::vector<uint8_t>(code.begin(), code.begin() + 4000), 100, false, false},
      {"text", Text(2u << 20), 100, false, false},
      {"noise", Noise(2u << 20, 256), 100, true, false},
      // A program whose first megabyte holds no code: pieces of all of it
      // are probed.
      {"text, then machine code", Joined(Text(kStoreProbeBytes), code), 100, false, true},
  };
  for (const auto& c : cases) {
    const ProbeVerdict verdict = ProbeMember(c.data.data(), c.data.size(), 100, c.gain);
    EXPECT_EQ(verdict.store, c.store) << c.what;
    EXPECT_EQ(verdict.x86Filter, c.x86) << c.what;
  }
}
