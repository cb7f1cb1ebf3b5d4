// The member decoder (LZMA-alone streams and stored members) on hostile
// input. The first byte picks what happens to the rest:
//   even: decode it in one piece and again in pieces of varying size; both
//         must end the same way with the same output;
//   odd:  compress it and store it, decode both, and compare with the input.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "fuzz_seeds.h"
#include "payload/lzma_alone.h"
#include "payload/member_method.h"

namespace {

// Output beyond this is refused, so that a short input declaring gigabytes
// stays fast.
constexpr size_t kOutputLimit = 1u << 20;
// Headers asking for more than this get it lowered (the decoder would
// otherwise allocate up to the stated size).
constexpr uint32_t kDictionaryLimit = 16u << 20;

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Result {
  LzmaDecodeStatus status;
  std::vector<uint8_t> output;
};

Result Decode(const std::vector<uint8_t>& input, uint8_t pieceSeed) {
  Result result{LzmaDecodeStatus::NeedInput, {}};
  MemberDecoder decoder([&result](const uint8_t* data, size_t size) {
    if (result.output.size() + size > kOutputLimit) return false;
    result.output.insert(result.output.end(), data, data + size);
    return true;
  });
  size_t at = 0;
  uint32_t state = pieceSeed;
  while (at < input.size() && result.status == LzmaDecodeStatus::NeedInput) {
    size_t piece = input.size() - at;
    if (pieceSeed != 0) {
      state = state * 1103515245u + 12345u;
      piece = std::min<size_t>(piece, 1 + (state >> 16) % 300);
    }
    result.status = decoder.Feed(input.data() + at, piece);
    at += piece;
  }
  const LzmaDecodeStatus finished = decoder.Finish();
  if (result.status == LzmaDecodeStatus::NeedInput) result.status = finished;
  Require(finished == result.status);
  Require(decoder.Produced() == result.output.size());
  if (result.status == LzmaDecodeStatus::Ok && input.size() >= kLzmaHeaderSize) {
    Require(result.output.size() <= decoder.DeclaredSize());
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<uint8_t> input(data + 1, data + size);
  if (data[0] % 2 == 0) {
    // (A stored member's magic stands where a stream has its dictionary.)
    if (input.size() >= 5 && input[0] != kStoredMarker) {
      uint32_t dictionary;
      std::memcpy(&dictionary, &input[1], 4);
      if (dictionary > kDictionaryLimit) std::memcpy(&input[1], &kDictionaryLimit, 4);
    }
    const Result whole = Decode(input, 0);
    const Result pieces = Decode(input, static_cast<uint8_t>(data[0] | 1));
    Require(whole.status == pieces.status);
    if (whole.status == LzmaDecodeStatus::SinkFailed) {
      // Where the output limit cuts depends on the piece sizes; what both
      // delivered must still agree.
      const size_t common = std::min(whole.output.size(), pieces.output.size());
      Require(std::equal(whole.output.begin(), whole.output.begin() + common, pieces.output.begin()));
    } else {
      Require(whole.output == pieces.output);
    }
    uint64_t declared = 0;
    if (input.size() >= kLzmaHeaderSize && MethodOf(input.data(), input.size()) == MemberMethod::Lzma &&
        CheckLzmaHeader(input.data(), &declared) != LzmaHeaderStatus::Ok) {
      Require(whole.status == LzmaDecodeStatus::BadHeader);
    }
    // Decoded whole into memory, a member gives what the pieces gave.
    uint64_t stated = 0;
    if (whole.status == LzmaDecodeStatus::Ok && StatedMemberSize(input.data(), input.size(), &stated) &&
        stated <= kOutputLimit) {
      std::vector<uint8_t> output;
      Require(DecodeMemberToMemory(input.data(), input.size(), output) == LzmaDecodeStatus::Ok);
      Require(output == whole.output);
    }
  } else {
    if (input.size() > (64u << 10)) input.resize(64u << 10);
    LzmaOptions options;
    options.preset = data[0] % 10;
    options.dictionarySize = 1u << 16;
    std::vector<uint8_t> packed;
    Require(CompressLzmaAlone(input.data(), input.size(), options, packed));
    std::vector<uint8_t> output;
    Require(DecodeLzmaAlone(packed.data(), packed.size(), output) == LzmaDecodeStatus::Ok);
    Require(output == input);
    Require(StoreMember(input.data(), input.size(), packed));
    Require(DecodeMemberToMemory(packed.data(), packed.size(), output) == LzmaDecodeStatus::Ok);
    Require(output == input);
  }
  return 0;
}

std::vector<std::vector<uint8_t>> FuzzSeeds() {
  std::vector<std::vector<uint8_t>> seeds;
  const char text[] = "setup.dat\r\n[CopyFile]\r\nsetup.dat\r\nsetup.dat\r\nsetup.dat\r\n";
  std::vector<uint8_t> plain(text, text + sizeof(text) - 1);
  std::vector<uint8_t> packed;
  if (CompressLzmaAlone(plain.data(), plain.size(), LzmaOptions(), packed)) {
    packed.insert(packed.begin(), 0);
    seeds.push_back(packed);
    packed[1] = 225;  // refused properties
    seeds.push_back(packed);
    packed[1] = 0x5D;
    packed[6] = packed[7] = packed[8] = packed[9] = 0xFF;  // unknown size
    seeds.push_back(packed);
    packed.resize(packed.size() / 2);  // truncated
    seeds.push_back(packed);
  }
  std::vector<uint8_t> stored;
  if (StoreMember(plain.data(), plain.size(), stored)) {
    stored.insert(stored.begin(), 0);
    seeds.push_back(stored);
    stored.push_back(0);  // a byte beyond the stated size
    seeds.push_back(stored);
    stored.resize(10);  // the header cut short
    seeds.push_back(stored);
  }
  plain.insert(plain.begin(), 1);
  seeds.push_back(plain);
  seeds.push_back({0});
  seeds.push_back({2, 0x5D, 0, 0, 0x80, 0, 10, 0, 0, 0, 0, 0, 0, 0});  // header only
  return seeds;
}
