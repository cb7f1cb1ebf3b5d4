#include "packer/store_probe.h"

#include <algorithm>
#include <vector>

#include "payload/lzma_alone.h"

namespace {

bool ProbeSize(const uint8_t* data, size_t size, bool x86Filter, size_t* packedSize) {
  // A small window keeps the probe's set-up cheap; a megabyte of data that
  // compresses shows it well within 256 KiB.
  LzmaOptions options;
  options.preset = kStoreProbePreset;
  options.dictionarySize = 256u << 10;
  options.x86Filter = x86Filter;
  std::vector<uint8_t> packed;
  if (!CompressLzmaAlone(data, std::min(size, kStoreProbeBytes), options, packed)) return false;
  *packedSize = packed.size();
  return true;
}

// kX86ProbeWindows equal pieces of the member, spread evenly from its
// first byte to its last, kStoreProbeBytes together. A program's first
// megabyte may be headers, tables or resources; its code lies further on.
std::vector<uint8_t> SpreadSample(const uint8_t* data, size_t size) {
  const size_t window = kStoreProbeBytes / kX86ProbeWindows;
  std::vector<uint8_t> sample;
  sample.reserve(kStoreProbeBytes);
  for (size_t k = 0; k < kX86ProbeWindows; ++k) {
    const size_t start = (size - window) / (kX86ProbeWindows - 1) * k;
    sample.insert(sample.end(), data + start, data + start + window);
  }
  return sample;
}

}  // namespace

bool StoreWithoutCompressing(const uint8_t* data, size_t size, size_t savingDivisor) {
  return ProbeMember(data, size, savingDivisor, 0).store;
}

ProbeVerdict ProbeMember(const uint8_t* data, size_t size, size_t savingDivisor, size_t x86GainDivisor) {
  ProbeVerdict verdict;
  if (size == 0) return verdict;
  const size_t probe = std::min(size, kStoreProbeBytes);
  size_t plain = 0;
  if (!ProbeSize(data, size, false, &plain)) return verdict;
  verdict.store = plain > probe - probe / savingDivisor;
  if (verdict.store || x86GainDivisor == 0 || size < kX86ProbeMinimum) return verdict;
  // Up to a megabyte, the filter is judged on the bytes the store probe saw;
  // beyond, on pieces from the whole member.
  std::vector<uint8_t> sample;
  if (size > kStoreProbeBytes) {
    sample = SpreadSample(data, size);
    if (!ProbeSize(sample.data(), sample.size(), false, &plain)) return verdict;
    data = sample.data();
    size = sample.size();
  }
  size_t filtered = 0;
  verdict.x86Filter = ProbeSize(data, size, true, &filtered) && filtered + plain / x86GainDivisor <= plain;
  return verdict;
}
