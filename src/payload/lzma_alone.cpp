#include "payload/lzma_alone.h"

#include <lzma.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kMinDictionary = 4096;
// A stream whose header understates its dictionary still decodes when its
// matches reach back no further than this (the window the packer uses).
constexpr uint32_t kDictionaryFloor = 8u << 20;
constexpr size_t kOutputChunk = 64 * 1024;

}  // namespace

LzmaHeaderStatus CheckLzmaHeader(const uint8_t* header13, uint64_t* unpackedSize) {
  if (header13[0] >= 225) return LzmaHeaderStatus::BadProperties;
  uint32_t low = 0;
  for (int i = 0; i < 4; ++i) low |= uint32_t(header13[5 + i]) << (8 * i);
  if (low == 0xFFFFFFFFu) return LzmaHeaderStatus::UnknownSize;
  for (int i = 9; i < 13; ++i) {
    if (header13[i] != 0) return LzmaHeaderStatus::SizeTooLarge;
  }
  if (unpackedSize != nullptr) *unpackedSize = low;
  return LzmaHeaderStatus::Ok;
}

struct LzmaAloneDecoder::Impl {
  Sink sink;
  bool x86Filter = false;
  uint8_t header[kLzmaHeaderSize] = {};
  size_t headerHave = 0;
  bool started = false;  // the decoder is set up
  bool anyInput = false;
  uint64_t declared = 0;
  uint64_t produced = 0;
  LzmaDecodeStatus status = LzmaDecodeStatus::NeedInput;
  lzma_stream stream = LZMA_STREAM_INIT;
  std::vector<uint8_t> chunk;

  ~Impl() { lzma_end(&stream); }

  LzmaDecodeStatus Start();
  LzmaDecodeStatus Run(const uint8_t* data, size_t size);
};

LzmaDecodeStatus LzmaAloneDecoder::Impl::Start() {
  if (CheckLzmaHeader(header, &declared) != LzmaHeaderStatus::Ok) return LzmaDecodeStatus::BadHeader;
  if (declared == 0) return LzmaDecodeStatus::Ok;

  uint32_t dictionary = 0;
  for (int i = 0; i < 4; ++i) dictionary |= uint32_t(header[1 + i]) << (8 * i);
  // No match can reach back beyond the output made so far, so a window of
  // the declared size is always enough.
  uint64_t window = std::max<uint64_t>(dictionary, kDictionaryFloor);
  window = std::min<uint64_t>(window, declared);
  window = std::max<uint64_t>(window, kMinDictionary);

  lzma_options_lzma lzma{};
  lzma.dict_size = static_cast<uint32_t>(window);
  lzma.lc = header[0] % 9;
  lzma.lp = (header[0] / 9) % 5;
  lzma.pb = header[0] / 45;
  // Size unknown to the library: it then accepts an end marker anywhere,
  // and the declared size is enforced here by the room given for output.
  lzma_filter filters[3] = {{LZMA_FILTER_LZMA1, &lzma}, {LZMA_VLI_UNKNOWN, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (x86Filter) {
    // The branch filter hands out its last bytes only once the stream has
    // ended, so the library is told the size the header states (an end
    // marker may still follow the last byte).
    lzma.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma.ext_size_low = static_cast<uint32_t>(declared);
    lzma.ext_size_high = 0;
    filters[0] = {LZMA_FILTER_X86, nullptr};
    filters[1] = {LZMA_FILTER_LZMA1EXT, &lzma};
  }
  switch (lzma_raw_decoder(&stream, filters)) {
    case LZMA_OK:
      break;
    case LZMA_MEM_ERROR:
      return LzmaDecodeStatus::MemoryError;
    default:  // lc + lp above what the library decodes
      return LzmaDecodeStatus::BadHeader;
  }
  chunk.resize(static_cast<size_t>(std::min<uint64_t>(kOutputChunk, declared)));
  started = true;
  return LzmaDecodeStatus::NeedInput;
}

LzmaDecodeStatus LzmaAloneDecoder::Impl::Run(const uint8_t* data, size_t size) {
  stream.next_in = data;
  stream.avail_in = size;
  while (true) {
    const uint64_t left = declared - produced;
    const size_t room = static_cast<size_t>(std::min<uint64_t>(chunk.size(), left));
    stream.next_out = chunk.data();
    stream.avail_out = room;
    const lzma_ret ret = lzma_code(&stream, LZMA_RUN);
    const size_t made = room - stream.avail_out;
    if (made > 0) {
      // Counted once the sink has taken it: Produced() is what was delivered.
      if (!sink(chunk.data(), made)) return LzmaDecodeStatus::SinkFailed;
      produced += made;
    }
    if (ret == LZMA_STREAM_END || produced == declared) return LzmaDecodeStatus::Ok;
    if (ret == LZMA_MEM_ERROR) return LzmaDecodeStatus::MemoryError;
    if (ret != LZMA_OK) return LzmaDecodeStatus::DataError;
    // Output room left over means the decoder wants more input.
    if (stream.avail_in == 0 && stream.avail_out > 0) return LzmaDecodeStatus::NeedInput;
  }
}

LzmaAloneDecoder::LzmaAloneDecoder(Sink sink, bool x86Filter) : impl_(new Impl) {
  impl_->sink = std::move(sink);
  impl_->x86Filter = x86Filter;
}

LzmaAloneDecoder::~LzmaAloneDecoder() = default;

LzmaDecodeStatus LzmaAloneDecoder::Feed(const uint8_t* data, size_t size) {
  Impl& d = *impl_;
  if (d.status != LzmaDecodeStatus::NeedInput || size == 0) return d.status;
  d.anyInput = true;
  if (!d.started) {
    const size_t take = std::min(size, kLzmaHeaderSize - d.headerHave);
    std::memcpy(d.header + d.headerHave, data, take);
    d.headerHave += take;
    data += take;
    size -= take;
    if (d.headerHave < kLzmaHeaderSize) return d.status;
    d.status = d.Start();
    if (d.status != LzmaDecodeStatus::NeedInput) return d.status;
  }
  if (size > 0) d.status = d.Run(data, size);
  return d.status;
}

LzmaDecodeStatus LzmaAloneDecoder::Finish() {
  Impl& d = *impl_;
  if (d.status != LzmaDecodeStatus::NeedInput) return d.status;
  if (!d.anyInput) {
    d.status = LzmaDecodeStatus::Ok;
  } else if (!d.started) {
    d.status = LzmaDecodeStatus::BadHeader;
  } else {
    // Let the decoder finish what it holds (a pending match needs no input).
    d.status = d.Run(nullptr, 0);
    if (d.status == LzmaDecodeStatus::NeedInput) d.status = LzmaDecodeStatus::DataError;
  }
  return d.status;
}

uint64_t LzmaAloneDecoder::DeclaredSize() const { return impl_->declared; }

uint64_t LzmaAloneDecoder::Produced() const { return impl_->produced; }

LzmaDecodeStatus DecodeLzmaAlone(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  LzmaAloneDecoder decoder([&out](const uint8_t* bytes, size_t n) {
    out.insert(out.end(), bytes, bytes + n);
    return true;
  });
  LzmaDecodeStatus status = decoder.Feed(data, size);
  if (status == LzmaDecodeStatus::NeedInput) status = decoder.Finish();
  if (status != LzmaDecodeStatus::Ok) out.clear();
  return status;
}
