#pragma once
// How a member's packed bytes hold the member: as one LZMA-alone stream
// (lzma_alone.h), stored as they are behind a short header, for data that
// LZMA cannot make smaller (media, archives, signed binaries), or, for
// machine code, as an LZMA-alone stream of the bytes after the x86 branch
// filter behind a five-byte mark, or, for small members, as a slice of a
// solid block that holds several of them.
//
// Stored layout (all little-endian):
//
//   offset  size  field
//   0       1     0xFF: a properties byte that every LZMA-alone reader
//                 refuses (225 or more), so no stream that decodes starts so
//   1       4     magic "PLIS"
//   5       8     stated size: the high half 0, the low half not 0xFFFFFFFF
//                 (the stated-size rules of LZMA-alone streams)
//   13      n     the member's bytes, exactly the stated size of them
//
// x86 layout:
//
//   0       1     0xFF, as above
//   1       4     magic "PLIX"
//   5       n     an LZMA-alone stream, its stated size the member's, of the
//                 member's bytes after the x86 branch filter
//
// Solid layout: a reference to a block elsewhere in the archive's data
// that no entry points at, itself packed as a member of one of the methods
// above (never solid), whose output holds several small members back to
// back:
//
//   0       1     0xFF, as above
//   1       4     magic "PLIB"
//   5       4     the block's offset in the archive
//   9       4     its packed size
//   13      4     its packed sum (archive_format.h)
//   17      4     where the member starts in the block's output
//   21      4     the member's size (its stated size)
//
// A member counts as stored, filtered or solid only when its first five bytes are
// the marker and that method's magic. Everything else goes to the
// LZMA-alone decoder as before, which refuses a 0xFF properties byte with
// BadHeader; an empty packed member is an empty file, whichever way it was
// packed. Installers made before a method existed refuse its members as
// damaged: the packer uses a method only with a stub that names it
// (pe/stub_methods.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "payload/lzma_alone.h"

constexpr size_t kStoredHeaderSize = 13;
constexpr uint8_t kStoredMarker = 0xFF;
constexpr uint8_t kStoredMagic[4] = {'P', 'L', 'I', 'S'};
constexpr uint8_t kX86Magic[4] = {'P', 'L', 'I', 'X'};
constexpr uint8_t kSolidMagic[4] = {'P', 'L', 'I', 'B'};
constexpr size_t kMethodMarkSize = 5;
constexpr size_t kSolidReferenceSize = 25;

enum class MemberMethod : uint8_t { Lzma, Stored, X86Lzma, Solid };

// Stored, X86Lzma or Solid when packed starts with the marker and that
// magic; Lzma otherwise.
MemberMethod MethodOf(const uint8_t* packed, size_t size);
// "lzma", "stored", "lzma-x86" or "solid", as the packer's list shows it.
const char* MethodName(MemberMethod method);

// Where a solid member's bytes are.
struct SolidReference {
  uint32_t blockOffset = 0;
  uint32_t blockPackedSize = 0;
  uint32_t blockPackedSum = 0;
  uint32_t start = 0;
  uint32_t size = 0;
};
// The reference record of a solid member (kSolidReferenceSize bytes).
std::vector<uint8_t> SolidReferenceBytes(const SolidReference& reference);
// Reads a solid member's packed bytes: false unless they are exactly a
// reference record whose slice does not wrap around. That the block lies
// in the archive and holds the slice is for the reader of the archive.
bool ReadSolidReference(const uint8_t* packed, size_t size, SolidReference* reference);

// The stored form of data[0, size) in out (replacing its content): the
// header and the bytes. An empty input gives an empty member (no header).
// Members must stay below 4 GiB: larger input fails.
bool StoreMember(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// The size that the member's header states, by its method's rules; false
// when the header is cut short or refused. An empty member states 0.
bool StatedMemberSize(const uint8_t* packed, size_t size, uint64_t* stated);

// The x86 form of an LZMA-alone stream made with LzmaOptions::x86Filter,
// in place: the mark put in front of it.
void MarkX86Stream(std::vector<uint8_t>& stream);

// Decodes one member of any method, fed in pieces of any size, with the
// contract of LzmaAloneDecoder (status values, sink, DeclaredSize,
// Produced). A stored member's bytes go to the sink as they arrive, in
// pieces of at most kStoredPiece bytes, without being copied; bytes beyond
// its stated size, or fewer than it, are a DataError, and a header that
// breaks the stated-size rules a BadHeader. LZMA members are decoded
// exactly as LzmaAloneDecoder decodes them, x86 ones so after their mark.
// A solid member cannot be decoded from its own bytes: it is a BadHeader
// here, and its archive's reader resolves it (SolidBlockSlice).
class MemberDecoder {
 public:
  static constexpr size_t kStoredPiece = 4u << 20;

  explicit MemberDecoder(LzmaAloneDecoder::Sink sink);
  ~MemberDecoder();
  MemberDecoder(const MemberDecoder&) = delete;
  MemberDecoder& operator=(const MemberDecoder&) = delete;

  LzmaDecodeStatus Feed(const uint8_t* data, size_t size);
  LzmaDecodeStatus Finish();
  uint64_t DeclaredSize() const;
  uint64_t Produced() const;
  // Known once five bytes have arrived (Lzma before that).
  MemberMethod Method() const { return method_; }

 private:
  LzmaDecodeStatus FeedStored(const uint8_t* data, size_t size);
  // Hands the bytes gathered so far to the LZMA decoder, which takes over.
  LzmaDecodeStatus StartLzma();

  LzmaAloneDecoder::Sink sink_;
  std::unique_ptr<LzmaAloneDecoder> lzma_;
  MemberMethod method_ = MemberMethod::Lzma;
  bool decided_ = false;
  uint8_t header_[kStoredHeaderSize] = {};
  size_t headerHave_ = 0;
  uint64_t declared_ = 0;
  uint64_t produced_ = 0;
  LzmaDecodeStatus status_ = LzmaDecodeStatus::NeedInput;
};

// One-call form over memory: decodes data into out (replacing its content),
// which is allocated once at the stated size (never more) before any output
// arrives. On failure out is empty.
LzmaDecodeStatus DecodeMemberToMemory(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// The solid member's bytes, out of its block's packed bytes (a member of
// another method): decodes the block into out and checks that the slice
// lies in it. block holds the packed bytes, already checked against the
// reference's sum. On failure out is empty; a slice outside the block is a
// DataError.
LzmaDecodeStatus DecodeSolidBlock(const uint8_t* block, size_t blockSize, std::vector<uint8_t>& out);
bool SliceFitsBlock(const SolidReference& reference, size_t blockOutputSize);
