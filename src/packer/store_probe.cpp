#include "packer/store_probe.h"

#include <algorithm>
#include <vector>

#include "payload/lzma_alone.h"

bool StoreWithoutCompressing(const uint8_t* data, size_t size, size_t savingDivisor) {
  if (size == 0) return false;
  const size_t probe = std::min(size, kStoreProbeBytes);
  // A small window keeps the probe's set-up cheap; a megabyte of data that
  // compresses shows it well within 256 KiB.
  LzmaOptions options;
  options.preset = kStoreProbePreset;
  options.dictionarySize = 256u << 10;
  std::vector<uint8_t> packed;
  if (!CompressLzmaAlone(data, probe, options, packed)) return false;
  return packed.size() > probe - probe / savingDivisor;
}
