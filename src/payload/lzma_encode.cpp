// The encoder, apart from the decoder: the installer links only the
// decoder, and with it only liblzma's decoding half.
#include <lzma.h>

#include <algorithm>

#include "payload/lzma_alone.h"

namespace {

constexpr uint32_t kMinDictionary = 4096;

void PutLe(uint8_t* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool CompressLzmaAlone(const uint8_t* data, size_t size, const LzmaOptions& options, std::vector<uint8_t>& out) {
  out.clear();
  if (size == 0) return true;
  if (uint64_t(size) >= 0xFFFFFFFFu) return false;

  lzma_options_lzma lzma{};
  if (lzma_lzma_preset(&lzma, options.preset)) return false;
  lzma.dict_size = std::max(options.dictionarySize, kMinDictionary);
  lzma.lc = 3;
  lzma.lp = 0;
  lzma.pb = 2;
  // The size goes into the header, so the stream needs no end marker.
  lzma.ext_flags = 0;
  lzma.ext_size_low = static_cast<uint32_t>(size);
  lzma.ext_size_high = 0;
  lzma_filter filters[3] = {{LZMA_FILTER_LZMA1EXT, &lzma}, {LZMA_VLI_UNKNOWN, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (options.x86Filter) {
    filters[0] = {LZMA_FILTER_X86, nullptr};
    filters[1] = {LZMA_FILTER_LZMA1EXT, &lzma};
  }

  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&stream, filters) != LZMA_OK) return false;

  out.resize(kLzmaHeaderSize + size / 2 + 1024);
  out[0] = kLzmaDefaultProperties;
  PutLe(&out[1], lzma.dict_size, 4);
  PutLe(&out[5], size, 8);

  stream.next_in = data;
  stream.avail_in = size;
  size_t written = kLzmaHeaderSize;
  lzma_ret ret = LZMA_OK;
  while (ret == LZMA_OK) {
    if (written == out.size()) out.resize(out.size() * 2);
    stream.next_out = out.data() + written;
    stream.avail_out = out.size() - written;
    ret = lzma_code(&stream, LZMA_FINISH);
    written = out.size() - stream.avail_out;
  }
  lzma_end(&stream);
  if (ret != LZMA_STREAM_END) {
    out.clear();
    return false;
  }
  out.resize(written);
  return true;
}
