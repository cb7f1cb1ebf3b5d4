#pragma once
// SHA-256 (FIPS 180-4), fed in pieces: the installer hash that package
// manifests carry, and the check of the uninstaller an installer writes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
 public:
  Sha256();
  void Update(const uint8_t* data, size_t size);
  // The digest; the object is spent afterwards.
  std::array<uint8_t, 32> Finish();

 private:
  void Block(const uint8_t* block);

  uint32_t state_[8];
  uint8_t buffer_[64];
  size_t buffered_ = 0;
  uint64_t length_ = 0;
};

// The digest as 64 upper-case hexadecimal digits.
std::string HexDigest(const std::array<uint8_t, 32>& digest);
