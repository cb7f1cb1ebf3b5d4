#pragma once
// LZMA-alone streams (the .lzma layout): a 13-byte header - properties,
// dictionary size (4 bytes), unpacked size (8 bytes) - then the range-coded
// data. Members of the payload archive are packed this way, always with
// their size stated in the header, unless they are stored as they are
// (member_method.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

constexpr size_t kLzmaHeaderSize = 13;
constexpr uint8_t kLzmaDefaultProperties = 0x5D;  // lc 3, lp 0, pb 2

struct LzmaOptions {
  uint32_t preset = 6;
  uint32_t dictionarySize = 8u << 20;
  // The x86 branch filter in front of LZMA: the targets of relative calls
  // and jumps in machine code made absolute, so that calls of one function
  // from many places repeat. The stream's header does not tell; the member
  // method does (member_method.h).
  bool x86Filter = false;
};

// Compresses data into out (replacing its content) as one LZMA-alone stream
// with properties 0x5D, the given dictionary size and the real unpacked size
// in the header (no end marker). Members must stay below 4 GiB: larger input
// fails. An empty input gives an empty stream (no header), which the
// installer turns into an empty file.
bool CompressLzmaAlone(const uint8_t* data, size_t size, const LzmaOptions& options, std::vector<uint8_t>& out);

enum class [[nodiscard]] LzmaHeaderStatus {
  Ok,
  BadProperties,  // 225 or more
  SizeTooLarge,   // the high half of the unpacked size is not zero
  UnknownSize,    // the unpacked size is 0xFFFFFFFF
};

// The header rules of the installer. unpackedSize (may be null) receives the
// stated size when the result is Ok.
LzmaHeaderStatus CheckLzmaHeader(const uint8_t* header13, uint64_t* unpackedSize);

enum class [[nodiscard]] LzmaDecodeStatus {
  Ok,           // finished: the declared size or an end marker was reached
  NeedInput,    // Feed: more input is wanted
  BadHeader,    // header refused (CheckLzmaHeader) or cut short
  DataError,    // corrupt data, or the input ended before the output did
  MemoryError,  // the decoder's memory could not be allocated
  SinkFailed,   // the sink refused output
};

// Decodes one LZMA-alone stream fed in pieces of any size and hands the
// output in pieces to the sink. Memory is in the order of the dictionary
// (never more than the declared size), not of the member. An end marker
// before the declared size ends decoding early with success; input after
// the end is ignored.
//
// The read/write split of the installer's messages: BadHeader and DataError
// are read errors, MemoryError and SinkFailed write errors.
class LzmaAloneDecoder {
 public:
  // Returns false to stop decoding (SinkFailed).
  using Sink = std::function<bool(const uint8_t* data, size_t size)>;

  // x86Filter: the stream's output goes through the x86 branch filter's
  // decoder (LzmaOptions::x86Filter).
  explicit LzmaAloneDecoder(Sink sink, bool x86Filter = false);
  ~LzmaAloneDecoder();
  LzmaAloneDecoder(const LzmaAloneDecoder&) = delete;
  LzmaAloneDecoder& operator=(const LzmaAloneDecoder&) = delete;

  // NeedInput while the stream goes on, Ok once it has ended, or the error
  // (which then sticks).
  LzmaDecodeStatus Feed(const uint8_t* data, size_t size);
  // The end of the input. No input at all counts as an empty member (Ok, no
  // output); a stream that has not ended is a BadHeader (within the header)
  // or a DataError.
  LzmaDecodeStatus Finish();

  // The size stated in the header (0 before the header is complete).
  uint64_t DeclaredSize() const;
  // Bytes handed to the sink so far.
  uint64_t Produced() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// One-call form over memory: decodes data into out (replacing its content).
LzmaDecodeStatus DecodeLzmaAlone(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
