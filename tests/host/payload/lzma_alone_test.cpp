#include "payload/lzma_alone.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <cstring>
#include <random>

namespace {

std::vector<uint8_t> SampleData(size_t size, uint32_t seed = 1) {
  // Half noise, half repetition, so the encoder emits both literals and
  // long matches.
  std::mt19937 random(seed);
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) {
    data[i] = (i / 1000) % 2 == 0 ? static_cast<uint8_t>(random()) : static_cast<uint8_t>("abcabcabd"[i % 9]);
  }
  return data;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> packed;
  EXPECT_TRUE(CompressLzmaAlone(data.data(), data.size(), LzmaOptions(), packed));
  return packed;
}

// An LZMA-alone stream that ends with an end marker, declaring any size.
std::vector<uint8_t> CompressWithEndMarker(const std::vector<uint8_t>& data, uint64_t declared) {
  lzma_options_lzma options{};
  lzma_lzma_preset(&options, 6);
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream stream = LZMA_STREAM_INIT;
  EXPECT_EQ(lzma_raw_encoder(&stream, filters), LZMA_OK);
  std::vector<uint8_t> out(13 + data.size() * 2 + 1024);
  stream.next_in = data.data();
  stream.avail_in = data.size();
  stream.next_out = out.data() + 13;
  stream.avail_out = out.size() - 13;
  EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
  out.resize(out.size() - stream.avail_out);
  lzma_end(&stream);
  out[0] = 0x5D;
  for (int i = 0; i < 4; ++i) out[1 + i] = static_cast<uint8_t>(options.dict_size >> (8 * i));
  for (int i = 0; i < 8; ++i) out[5 + i] = static_cast<uint8_t>(declared >> (8 * i));
  return out;
}

LzmaDecodeStatus Decode(const std::vector<uint8_t>& packed, std::vector<uint8_t>& out) {
  return DecodeLzmaAlone(packed.data(), packed.size(), out);
}

}  // namespace

TEST(LzmaAlone, RoundTripWritesTheSizeInTheHeader) {
  for (size_t size : {size_t(1), size_t(1000), size_t(300000)}) {
    const std::vector<uint8_t> data = SampleData(size);
    const std::vector<uint8_t> packed = Compress(data);
    ASSERT_GT(packed.size(), 13u);
    EXPECT_EQ(packed[0], 0x5D);
    uint32_t dictionary = 0;
    std::memcpy(&dictionary, &packed[1], 4);
    EXPECT_EQ(dictionary, 8u << 20);
    uint64_t declared = 0;
    ASSERT_EQ(CheckLzmaHeader(packed.data(), &declared), LzmaHeaderStatus::Ok);
    EXPECT_EQ(declared, size);

    std::vector<uint8_t> out;
    ASSERT_EQ(Decode(packed, out), LzmaDecodeStatus::Ok) << size;
    EXPECT_EQ(out, data);
  }
}

TEST(LzmaAlone, FeedingOneByteAtATimeGivesTheSameOutput) {
  const std::vector<uint8_t> data = SampleData(100000, 7);
  const std::vector<uint8_t> packed = Compress(data);
  std::vector<uint8_t> out;
  LzmaAloneDecoder decoder([&out](const uint8_t* bytes, size_t n) {
    out.insert(out.end(), bytes, bytes + n);
    return true;
  });
  LzmaDecodeStatus status = LzmaDecodeStatus::NeedInput;
  for (size_t i = 0; i < packed.size() && status == LzmaDecodeStatus::NeedInput; ++i) {
    status = decoder.Feed(&packed[i], 1);
  }
  EXPECT_EQ(status, LzmaDecodeStatus::Ok);
  EXPECT_EQ(decoder.Finish(), LzmaDecodeStatus::Ok);
  EXPECT_EQ(decoder.DeclaredSize(), data.size());
  EXPECT_EQ(decoder.Produced(), data.size());
  EXPECT_EQ(out, data);
}

TEST(LzmaAlone, EmptyInputIsAnEmptyMember) {
  std::vector<uint8_t> packed{1};
  EXPECT_TRUE(CompressLzmaAlone(nullptr, 0, LzmaOptions(), packed));
  EXPECT_TRUE(packed.empty());
  std::vector<uint8_t> out{9};
  EXPECT_EQ(Decode(packed, out), LzmaDecodeStatus::Ok);
  EXPECT_TRUE(out.empty());

  // A stated size of 0 ends the member after the header, whatever follows.
  std::vector<uint8_t> zero = Compress(SampleData(10));
  std::memset(&zero[5], 0, 8);
  EXPECT_EQ(Decode(zero, out), LzmaDecodeStatus::Ok);
  EXPECT_TRUE(out.empty());
}

TEST(LzmaAlone, HeaderRules) {
  const std::vector<uint8_t> good = Compress(SampleData(50));
  uint8_t header[13];
  std::memcpy(header, good.data(), 13);
  EXPECT_EQ(CheckLzmaHeader(header, nullptr), LzmaHeaderStatus::Ok);

  std::vector<uint8_t> out;
  std::vector<uint8_t> packed = good;
  packed[0] = 225;
  EXPECT_EQ(CheckLzmaHeader(packed.data(), nullptr), LzmaHeaderStatus::BadProperties);
  EXPECT_EQ(Decode(packed, out), LzmaDecodeStatus::BadHeader);
  packed[0] = 224;  // valid by the header rules, lc 8 is beyond the library
  EXPECT_EQ(CheckLzmaHeader(packed.data(), nullptr), LzmaHeaderStatus::Ok);
  EXPECT_EQ(Decode(packed, out), LzmaDecodeStatus::BadHeader);

  for (int highByte = 9; highByte < 13; ++highByte) {
    packed = good;
    packed[highByte] = 1;
    EXPECT_EQ(CheckLzmaHeader(packed.data(), nullptr), LzmaHeaderStatus::SizeTooLarge) << highByte;
    EXPECT_EQ(Decode(packed, out), LzmaDecodeStatus::BadHeader);
  }

  packed = good;
  std::memset(&packed[5], 0xFF, 4);
  EXPECT_EQ(CheckLzmaHeader(packed.data(), nullptr), LzmaHeaderStatus::UnknownSize);
  EXPECT_EQ(Decode(packed, out), LzmaDecodeStatus::BadHeader);
  std::memset(&packed[5], 0xFF, 8);  // the usual "unknown size" marker
  EXPECT_NE(CheckLzmaHeader(packed.data(), nullptr), LzmaHeaderStatus::Ok);

  // Dictionary sizes are not checked: tiny, odd and huge all decode.
  for (uint32_t dictionary : {0u, 12345u, 0xFFFFFFFFu}) {
    packed = good;
    std::memcpy(&packed[1], &dictionary, 4);
    EXPECT_EQ(Decode(packed, out), LzmaDecodeStatus::Ok) << dictionary;
  }
}

TEST(LzmaAlone, TruncatedStreamsFail) {
  const std::vector<uint8_t> data = SampleData(5000);
  const std::vector<uint8_t> packed = Compress(data);
  std::vector<uint8_t> out;
  for (size_t size = 1; size < packed.size(); ++size) {
    const std::vector<uint8_t> cut(packed.begin(), packed.begin() + size);
    const LzmaDecodeStatus status = Decode(cut, out);
    if (size < 13) {
      EXPECT_EQ(status, LzmaDecodeStatus::BadHeader) << size;
    } else {
      EXPECT_EQ(status, LzmaDecodeStatus::DataError) << size;
    }
  }
}

TEST(LzmaAlone, EndMarkerBeforeTheDeclaredSizeEndsEarly) {
  const std::vector<uint8_t> data = SampleData(20000, 3);
  std::vector<uint8_t> out;

  EXPECT_EQ(Decode(CompressWithEndMarker(data, data.size() + 1000), out), LzmaDecodeStatus::Ok);
  EXPECT_EQ(out, data);
  EXPECT_EQ(Decode(CompressWithEndMarker(data, data.size()), out), LzmaDecodeStatus::Ok);
  EXPECT_EQ(out, data);

  // A declared size below the content keeps only that much.
  EXPECT_EQ(Decode(CompressWithEndMarker(data, 100), out), LzmaDecodeStatus::Ok);
  EXPECT_EQ(out, std::vector<uint8_t>(data.begin(), data.begin() + 100));

  // Empty content: the marker is all there is.
  EXPECT_EQ(Decode(CompressWithEndMarker({}, 50), out), LzmaDecodeStatus::Ok);
  EXPECT_TRUE(out.empty());
}

TEST(LzmaAlone, CorruptDataAndRefusingSinks) {
  const std::vector<uint8_t> data = SampleData(200000, 5);
  std::vector<uint8_t> packed = Compress(data);
  std::vector<uint8_t> out;

  // A first symbol that is a match has nothing to reach back to.
  std::vector<uint8_t> bad = packed;
  std::memset(&bad[13], 0xFF, bad.size() - 13);
  bad[13] = 0;
  EXPECT_EQ(Decode(bad, out), LzmaDecodeStatus::DataError);
  EXPECT_TRUE(out.empty());

  int calls = 0;
  LzmaAloneDecoder decoder([&calls](const uint8_t*, size_t) { return ++calls < 2; });
  EXPECT_EQ(decoder.Feed(packed.data(), packed.size()), LzmaDecodeStatus::SinkFailed);
  EXPECT_EQ(decoder.Finish(), LzmaDecodeStatus::SinkFailed);
  EXPECT_EQ(calls, 2);
}
