// Stored and x86-filtered members beside LZMA-alone streams: telling them
// apart, their stated-size rules, decoding in pieces, and the one-call
// decoding's single allocation.
#include "payload/member_method.h"

#include <gtest/gtest.h>

#include <random>

#include "machine_code.h"

namespace {

std::vector<uint8_t> Noise(size_t size) {
  std::mt19937 random(3);
  std::vector<uint8_t> data(size);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  return data;
}

std::vector<uint8_t> Stored(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> packed;
  EXPECT_TRUE(StoreMember(data.data(), data.size(), packed));
  return packed;
}

std::vector<uint8_t> X86Member(const std::vector<uint8_t>& data) {
  LzmaOptions options;
  options.x86Filter = true;
  std::vector<uint8_t> packed;
  EXPECT_TRUE(CompressLzmaAlone(data.data(), data.size(), options, packed));
  MarkX86Stream(packed);
  return packed;
}

struct Decoded {
  LzmaDecodeStatus status;
  std::vector<uint8_t> output;
};

// piece 0: all at once.
Decoded Decode(const std::vector<uint8_t>& packed, size_t piece) {
  Decoded result{LzmaDecodeStatus::NeedInput, {}};
  MemberDecoder decoder([&result](const uint8_t* data, size_t size) {
    result.output.insert(result.output.end(), data, data + size);
    return true;
  });
  const size_t step = piece == 0 ? packed.size() : piece;
  for (size_t at = 0; at < packed.size(); at += step) {
    result.status = decoder.Feed(packed.data() + at, std::min(step, packed.size() - at));
  }
  const LzmaDecodeStatus finished = decoder.Finish();
  if (result.status == LzmaDecodeStatus::NeedInput || packed.empty()) result.status = finished;
  EXPECT_EQ(finished, result.status);
  EXPECT_EQ(decoder.Produced(), result.output.size());
  return result;
}

}  // namespace

TEST(MemberMethod, StoredMembersDecodeToTheirBytesWhateverThePieces) {
  const std::vector<uint8_t> data = Noise(10000);
  std::vector<uint8_t> lzma;
  ASSERT_TRUE(CompressLzmaAlone(data.data(), data.size(), LzmaOptions(), lzma));
  std::vector<uint8_t> packed = Stored(data);
  ASSERT_EQ(packed.size(), kStoredHeaderSize + data.size());
  EXPECT_EQ(MethodOf(packed.data(), packed.size()), MemberMethod::Stored);
  EXPECT_EQ(MethodOf(lzma.data(), lzma.size()), MemberMethod::Lzma);
  EXPECT_STREQ(MethodName(MemberMethod::Stored), "stored");
  uint64_t stated = 0;
  EXPECT_TRUE(StatedMemberSize(packed.data(), packed.size(), &stated));
  EXPECT_EQ(stated, data.size());
  EXPECT_TRUE(StatedMemberSize(lzma.data(), lzma.size(), &stated));
  EXPECT_EQ(stated, data.size());

  for (const std::vector<uint8_t>* member : {&packed, &lzma}) {
    for (size_t piece : {size_t(0), size_t(1), size_t(4), size_t(13), size_t(777)}) {
      const Decoded decoded = Decode(*member, piece);
      EXPECT_EQ(decoded.status, LzmaDecodeStatus::Ok) << piece;
      EXPECT_TRUE(decoded.output == data) << piece;
    }
  }
  // An empty member is empty either way.
  EXPECT_TRUE(Stored({}).empty());
  EXPECT_EQ(Decode({}, 0).status, LzmaDecodeStatus::Ok);
}

TEST(MemberMethod, HeadersAndSizesAreHeldToTheirRules) {
  const std::vector<uint8_t> data = Noise(300);
  const std::vector<uint8_t> good = Stored(data);
  struct Case {
    const char* what;
    std::vector<uint8_t> packed;
    LzmaDecodeStatus status;
    size_t produced;  // the bytes that reach the sink, however the input is cut
  };
  auto changed = [&good](size_t at, uint8_t value) {
    std::vector<uint8_t> packed = good;
    packed[at] = value;
    return packed;
  };
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  std::vector<uint8_t> shorter(good.begin(), good.end() - 1);
  const Case cases[] = {
      {"one byte too many", longer, LzmaDecodeStatus::DataError, 300},
      {"one byte short", shorter, LzmaDecodeStatus::DataError, 299},
      {"size with a high half", changed(9, 1), LzmaDecodeStatus::BadHeader, 0},
      {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 8), LzmaDecodeStatus::BadHeader, 0},
      // Not the magic: an LZMA stream with properties 0xFF, refused as ever.
      {"marker without the magic", changed(4, 'X'), LzmaDecodeStatus::BadHeader, 0},
      {"marker alone", std::vector<uint8_t>{0xFF}, LzmaDecodeStatus::BadHeader, 0},
      // 300 is 0x12C: with its low byte cleared the header states 256.
      {"fewer stated than held", changed(5, 0), LzmaDecodeStatus::DataError, 256},
  };
  std::vector<uint8_t> unknown = good;
  for (int i = 5; i < 9; ++i) unknown[i] = 0xFF;
  for (const Case& c : cases) {
    for (size_t piece : {size_t(0), size_t(1), size_t(7)}) {
      const Decoded decoded = Decode(c.packed, piece);
      EXPECT_EQ(decoded.status, c.status) << c.what << ", pieces of " << piece;
      EXPECT_EQ(decoded.output.size(), c.produced) << c.what << ", pieces of " << piece;
    }
  }
  EXPECT_EQ(Decode(unknown, 0).status, LzmaDecodeStatus::BadHeader);
  uint64_t stated = 0;
  EXPECT_FALSE(StatedMemberSize(unknown.data(), unknown.size(), &stated));
  EXPECT_FALSE(StatedMemberSize(good.data(), 12, &stated));
}

TEST(MemberMethod, X86MembersDecodeThroughTheFilterWhateverThePieces) {
  const std::vector<uint8_t> code = MachineCode(200000);
  std::vector<uint8_t> lzma;
  ASSERT_TRUE(CompressLzmaAlone(code.data(), code.size(), LzmaOptions(), lzma));
  const std::vector<uint8_t> packed = X86Member(code);
  EXPECT_EQ(MethodOf(packed.data(), packed.size()), MemberMethod::X86Lzma);
  EXPECT_STREQ(MethodName(MemberMethod::X86Lzma), "lzma-x86");
  EXPECT_LT(packed.size() * 10, lzma.size() * 9) << "the filter makes the calls repeat";
  uint64_t stated = 0;
  EXPECT_TRUE(StatedMemberSize(packed.data(), packed.size(), &stated));
  EXPECT_EQ(stated, code.size());
  for (size_t piece : {size_t(0), size_t(1), size_t(3), size_t(5), size_t(18), size_t(4099)}) {
    const Decoded decoded = Decode(packed, piece);
    EXPECT_EQ(decoded.status, LzmaDecodeStatus::Ok) << piece;
    EXPECT_TRUE(decoded.output == code) << piece;
  }
  // The stream behind the mark holds the filtered bytes, not the member's.
  std::vector<uint8_t> unfiltered;
  ASSERT_EQ(DecodeLzmaAlone(packed.data() + kMethodMarkSize, packed.size() - kMethodMarkSize, unfiltered),
            LzmaDecodeStatus::Ok);
  EXPECT_EQ(unfiltered.size(), code.size());
  EXPECT_FALSE(unfiltered == code);
  std::vector<uint8_t> out;
  ASSERT_EQ(DecodeMemberToMemory(packed.data(), packed.size(), out), LzmaDecodeStatus::Ok);
  EXPECT_TRUE(out == code);
  EXPECT_EQ(out.capacity(), code.size());

  // Damage: what each gives, however the input is cut.
  auto cut = [&packed](size_t n) { return std::vector<uint8_t>(packed.begin(), packed.begin() + long(n)); };
  std::vector<uint8_t> statesMore = packed;
  statesMore[kMethodMarkSize + 5] ^= 1;  // 200,000 is even: one byte more
  std::vector<uint8_t> highHalf = packed;
  highHalf[kMethodMarkSize + 9] = 1;
  const struct {
    const char* what;
    std::vector<uint8_t> packed;
    LzmaDecodeStatus status;
  } cases[] = {
      {"mark alone", cut(kMethodMarkSize), LzmaDecodeStatus::BadHeader},
      {"header cut short", cut(kMethodMarkSize + 8), LzmaDecodeStatus::BadHeader},
      {"stream cut short", cut(packed.size() - 10), LzmaDecodeStatus::DataError},
      {"one byte more stated than the stream holds", statesMore, LzmaDecodeStatus::DataError},
      {"size with a high half", highHalf, LzmaDecodeStatus::BadHeader},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t(0), size_t(1), size_t(7)}) {
      const Decoded decoded = Decode(c.packed, piece);
      EXPECT_EQ(decoded.status, c.status) << c.what << ", pieces of " << piece;
      EXPECT_LT(decoded.output.size(), code.size() + 1) << c.what;
    }
  }
  EXPECT_FALSE(StatedMemberSize(packed.data(), kMethodMarkSize + 12, &stated));
  EXPECT_TRUE(X86Member({}).empty());
}

TEST(MemberMethod, DecodingIntoMemoryAllocatesTheStatedSizeOnce) {
  // Grown by doubling from the decoder's 64 KiB pieces, a 600,000-byte
  // member would take 1 MiB.
  std::vector<uint8_t> text(600000);
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>("plove install "[i % 14] + i / 50000);
  std::vector<uint8_t> lzma;
  ASSERT_TRUE(CompressLzmaAlone(text.data(), text.size(), LzmaOptions(), lzma));
  for (const std::vector<uint8_t>& packed : {lzma, Stored(text)}) {
    std::vector<uint8_t> out;
    ASSERT_EQ(DecodeMemberToMemory(packed.data(), packed.size(), out), LzmaDecodeStatus::Ok);
    EXPECT_TRUE(out == text);
    EXPECT_EQ(out.capacity(), text.size());
  }
  std::vector<uint8_t> out{1, 2, 3};
  EXPECT_EQ(DecodeMemberToMemory(lzma.data(), lzma.size() / 2, out), LzmaDecodeStatus::DataError);
  EXPECT_TRUE(out.empty());
}
