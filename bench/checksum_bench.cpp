// checksum_bench: how fast the installer's integrity sums run, against
// reading the same bytes once at memory speed. Built and run by
// run-install-bench.sh (g++ -O2, as the installer is built):
//   checksum_bench [MiB]   (default 1024)
// Prints one line per measure: the best of five passes, in GB/s.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "payload/archive_format.h"

namespace {

// The loops as they were before they were tuned, for comparison.
uint32_t PlainChecksum(const uint8_t* data, size_t n) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    sum += uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 |
           uint32_t(data[i + 3]) << 24;
  }
  for (; i < n; ++i) sum += data[i];
  return sum == 0 ? 1 : sum;
}

uint32_t PlainByteSum(const uint8_t* data, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += data[i];
  return sum;
}

// Reading every byte once: memchr for a byte that is not there.
uint32_t ReadOnce(const uint8_t* data, size_t n) { return memchr(data, 0xA5, n) == nullptr ? 1 : 0; }

volatile uint32_t g_sink;

template <typename Sum>
double BestGbPerSecond(Sum sum, const std::vector<uint8_t>& bytes) {
  double best = 0;
  for (int pass = 0; pass < 5; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    g_sink = sum(bytes.data(), bytes.size());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double rate = bytes.size() / took.count() / 1e9;
    if (rate > best) best = rate;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
  std::vector<uint8_t> bytes(mib << 20);
  uint32_t state = 2026;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 16);
    if (b == 0xA5) b = 0xA4;  // the byte memchr looks for is never there
  }
  if (ArchiveChecksum(bytes.data(), bytes.size()) != PlainChecksum(bytes.data(), bytes.size()) ||
      PackedSum(bytes.data(), bytes.size()) != PlainByteSum(bytes.data(), bytes.size())) {
    std::fprintf(stderr, "checksum_bench: the tuned sums disagree with the plain ones\n");
    return 1;
  }
  std::printf("%-44s %8.2f GB/s\n", "read once (memchr), memory speed", BestGbPerSecond(ReadOnce, bytes));
  std::printf("%-44s %8.2f GB/s\n", "archive checksum (file check at open)", BestGbPerSecond(ArchiveChecksum, bytes));
  std::printf("%-44s %8.2f GB/s\n", "archive checksum, plain loop (before)", BestGbPerSecond(PlainChecksum, bytes));
  std::printf("%-44s %8.2f GB/s\n", "packed sum (each member before decoding)", BestGbPerSecond(PackedSum, bytes));
  std::printf("%-44s %8.2f GB/s\n", "packed sum, plain loop (before)", BestGbPerSecond(PlainByteSum, bytes));
  return 0;
}
