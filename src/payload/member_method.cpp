#include "payload/member_method.h"

#include <algorithm>
#include <cstring>

namespace {

// The marker and the magic: what tells a stored or filtered member from a
// stream.
constexpr size_t kMethodBytes = kMethodMarkSize;

MemberMethod MethodOfMark(const uint8_t* bytes) {
  if (bytes[0] != kStoredMarker) return MemberMethod::Lzma;
  if (std::memcmp(bytes + 1, kStoredMagic, sizeof kStoredMagic) == 0) return MemberMethod::Stored;
  if (std::memcmp(bytes + 1, kX86Magic, sizeof kX86Magic) == 0) return MemberMethod::X86Lzma;
  if (std::memcmp(bytes + 1, kSolidMagic, sizeof kSolidMagic) == 0) return MemberMethod::Solid;
  return MemberMethod::Lzma;
}

uint32_t GetU32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The stated size of a complete stored header, by the rules of LZMA-alone
// sizes: the high half 0, the low half not "unknown".
bool StoredSize(const uint8_t* header, uint64_t* size) {
  uint32_t low = 0;
  for (int i = 0; i < 4; ++i) low |= uint32_t(header[5 + i]) << (8 * i);
  if (low == 0xFFFFFFFFu) return false;
  for (size_t i = 9; i < kStoredHeaderSize; ++i) {
    if (header[i] != 0) return false;
  }
  *size = low;
  return true;
}

}  // namespace

MemberMethod MethodOf(const uint8_t* packed, size_t size) {
  return size >= kMethodBytes ? MethodOfMark(packed) : MemberMethod::Lzma;
}

const char* MethodName(MemberMethod method) {
  switch (method) {
    case MemberMethod::Stored: return "stored";
    case MemberMethod::X86Lzma: return "lzma-x86";
    case MemberMethod::Solid: return "solid";
    default: return "lzma";
  }
}

std::vector<uint8_t> SolidReferenceBytes(const SolidReference& reference) {
  std::vector<uint8_t> bytes(kSolidReferenceSize);
  bytes[0] = kStoredMarker;
  std::memcpy(&bytes[1], kSolidMagic, sizeof kSolidMagic);
  PutU32(&bytes[5], reference.blockOffset);
  PutU32(&bytes[9], reference.blockPackedSize);
  PutU32(&bytes[13], reference.blockPackedSum);
  PutU32(&bytes[17], reference.start);
  PutU32(&bytes[21], reference.size);
  return bytes;
}

bool ReadSolidReference(const uint8_t* packed, size_t size, SolidReference* reference) {
  if (size != kSolidReferenceSize || MethodOf(packed, size) != MemberMethod::Solid) return false;
  reference->blockOffset = GetU32(packed + 5);
  reference->blockPackedSize = GetU32(packed + 9);
  reference->blockPackedSum = GetU32(packed + 13);
  reference->start = GetU32(packed + 17);
  reference->size = GetU32(packed + 21);
  return uint64_t(reference->start) + reference->size <= 0xFFFFFFFFu && reference->size != 0xFFFFFFFFu;
}

bool SliceFitsBlock(const SolidReference& reference, size_t blockOutputSize) {
  return uint64_t(reference.start) + reference.size <= blockOutputSize;
}

LzmaDecodeStatus DecodeSolidBlock(const uint8_t* block, size_t blockSize, std::vector<uint8_t>& out) {
  // A block is never itself solid: a reference to a reference would let a
  // damaged archive send the reader round in circles.
  if (MethodOf(block, blockSize) == MemberMethod::Solid) {
    out.clear();
    return LzmaDecodeStatus::BadHeader;
  }
  return DecodeMemberToMemory(block, blockSize, out);
}

void MarkX86Stream(std::vector<uint8_t>& stream) {
  if (stream.empty()) return;  // an empty member needs no mark
  uint8_t mark[kMethodBytes] = {kStoredMarker};
  std::memcpy(mark + 1, kX86Magic, sizeof kX86Magic);
  stream.insert(stream.begin(), mark, mark + kMethodBytes);
}

bool StoreMember(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  if (size == 0) return true;
  if (uint64_t(size) >= 0xFFFFFFFFu) return false;
  out.resize(kStoredHeaderSize + size);
  out[0] = kStoredMarker;
  std::memcpy(&out[1], kStoredMagic, sizeof kStoredMagic);
  for (int i = 0; i < 8; ++i) out[5 + i] = static_cast<uint8_t>(uint64_t(size) >> (8 * i));
  std::memcpy(&out[kStoredHeaderSize], data, size);
  return true;
}

bool StatedMemberSize(const uint8_t* packed, size_t size, uint64_t* stated) {
  *stated = 0;
  if (size == 0) return true;
  if (size < kStoredHeaderSize) return false;
  switch (MethodOf(packed, size)) {
    case MemberMethod::Stored: return StoredSize(packed, stated);
    case MemberMethod::X86Lzma:
      return size >= kMethodBytes + kLzmaHeaderSize &&
             CheckLzmaHeader(packed + kMethodBytes, stated) == LzmaHeaderStatus::Ok;
    case MemberMethod::Solid: {
      SolidReference reference;
      if (!ReadSolidReference(packed, size, &reference)) return false;
      *stated = reference.size;
      return true;
    }
    default: return CheckLzmaHeader(packed, stated) == LzmaHeaderStatus::Ok;
  }
}

MemberDecoder::MemberDecoder(LzmaAloneDecoder::Sink sink) : sink_(std::move(sink)) {}

MemberDecoder::~MemberDecoder() = default;

LzmaDecodeStatus MemberDecoder::StartLzma() {
  const bool x86 = method_ == MemberMethod::X86Lzma;
  lzma_ = std::make_unique<LzmaAloneDecoder>(std::move(sink_), x86);
  // The mark of an x86 member is not part of its stream.
  if (x86) return status_ = LzmaDecodeStatus::NeedInput;
  return status_ = lzma_->Feed(header_, headerHave_);
}

LzmaDecodeStatus MemberDecoder::Feed(const uint8_t* data, size_t size) {
  if (size == 0) return status_;
  if (!decided_) {
    // The first byte tells, unless it is the marker: then the next four.
    while (size > 0 && !decided_) {
      header_[headerHave_++] = *data++;
      --size;
      if (header_[0] != kStoredMarker) {
        decided_ = true;
      } else if (headerHave_ == kMethodBytes) {
        decided_ = true;
        method_ = MethodOfMark(header_);
      }
    }
    if (!decided_) return status_;
    if (method_ != MemberMethod::Stored) {
      if (StartLzma() != LzmaDecodeStatus::NeedInput || size == 0) return status_;
      return status_ = lzma_->Feed(data, size);
    }
  }
  if (method_ != MemberMethod::Stored) return status_ = lzma_->Feed(data, size);
  return FeedStored(data, size);
}

LzmaDecodeStatus MemberDecoder::FeedStored(const uint8_t* data, size_t size) {
  if (status_ != LzmaDecodeStatus::NeedInput && status_ != LzmaDecodeStatus::Ok) return status_;
  while (headerHave_ < kStoredHeaderSize && size > 0) {
    header_[headerHave_++] = *data++;
    --size;
    if (headerHave_ == kStoredHeaderSize) {
      if (!StoredSize(header_, &declared_)) return status_ = LzmaDecodeStatus::BadHeader;
      if (declared_ == 0) status_ = LzmaDecodeStatus::Ok;
    }
  }
  // The stated bytes go out whatever follows them, so that the output does
  // not depend on how the input was cut into pieces.
  const size_t take = static_cast<size_t>(std::min<uint64_t>(size, declared_ - produced_));
  for (size_t done = 0; done < take;) {
    const size_t piece = std::min(take - done, kStoredPiece);
    if (!sink_(data + done, piece)) return status_ = LzmaDecodeStatus::SinkFailed;
    produced_ += piece;
    done += piece;
  }
  if (headerHave_ == kStoredHeaderSize && produced_ == declared_) status_ = LzmaDecodeStatus::Ok;
  if (size > take) status_ = LzmaDecodeStatus::DataError;
  return status_;
}

LzmaDecodeStatus MemberDecoder::Finish() {
  if (status_ != LzmaDecodeStatus::NeedInput) return status_;
  if (!decided_) {
    if (headerHave_ == 0) return status_ = LzmaDecodeStatus::Ok;  // no input: an empty member
    // A few bytes that began like a stored member: whatever the LZMA
    // decoder makes of them (a header cut short).
    if (StartLzma() != LzmaDecodeStatus::NeedInput) return status_;
  }
  if (method_ == MemberMethod::X86Lzma && lzma_->DeclaredSize() == 0 && lzma_->Produced() == 0) {
    // A mark with nothing or a cut header after it; the decoder would take
    // no input at all for an empty member.
    const LzmaDecodeStatus status = lzma_->Finish();
    return status_ = status == LzmaDecodeStatus::Ok ? LzmaDecodeStatus::BadHeader : status;
  }
  if (method_ != MemberMethod::Stored) return status_ = lzma_->Finish();
  return status_ = headerHave_ < kStoredHeaderSize ? LzmaDecodeStatus::BadHeader : LzmaDecodeStatus::DataError;
}

uint64_t MemberDecoder::DeclaredSize() const { return lzma_ ? lzma_->DeclaredSize() : declared_; }

uint64_t MemberDecoder::Produced() const { return lzma_ ? lzma_->Produced() : produced_; }

LzmaDecodeStatus DecodeMemberToMemory(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  out.shrink_to_fit();
  const MemberDecoder* self = nullptr;
  MemberDecoder decoder([&out, &self](const uint8_t* bytes, size_t n) {
    // The stated size is known before the first output: one allocation,
    // where growing by doubling would take up to twice the member.
    if (out.capacity() == 0) out.reserve(static_cast<size_t>(self->DeclaredSize()));
    out.insert(out.end(), bytes, bytes + n);
    return true;
  });
  self = &decoder;
  LzmaDecodeStatus status = decoder.Feed(data, size);
  if (status == LzmaDecodeStatus::NeedInput) status = decoder.Finish();
  if (status != LzmaDecodeStatus::Ok) {
    out.clear();
    out.shrink_to_fit();
  }
  return status;
}
