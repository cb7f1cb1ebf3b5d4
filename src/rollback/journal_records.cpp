#include "rollback/journal_records.h"

#include "util/path_text.h"

namespace {

const uint8_t kMagic[7] = {'P', 'L', 'I', 'J', 'R', 'N', 'L'};
constexpr size_t kHeaderSize = 8;

uint32_t Checksum(const uint8_t* data, size_t size) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 16777619u;
  }
  return hash;
}

void Put32(uint32_t value, std::vector<uint8_t>& out) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutText(const WideString& text, std::vector<uint8_t>& out) {
  Put32(static_cast<uint32_t>(text.Length()), out);
  for (WChar unit : text.Str()) {
    out.push_back(static_cast<uint8_t>(unit));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
}

// Reads a body; every length is checked against what remains.
class BodyCursor {
 public:
  BodyCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Get8(uint8_t& value) {
    if (size_ - at_ < 1) return false;
    value = data_[at_++];
    return true;
  }
  bool Get32(uint32_t& value) {
    if (size_ - at_ < 4) return false;
    value = static_cast<uint32_t>(data_[at_]) | static_cast<uint32_t>(data_[at_ + 1]) << 8 |
            static_cast<uint32_t>(data_[at_ + 2]) << 16 | static_cast<uint32_t>(data_[at_ + 3]) << 24;
    at_ += 4;
    return true;
  }
  bool GetText(WideString& text) {
    uint32_t units = 0;
    if (!Get32(units) || (size_ - at_) / 2 < units) return false;
    std::u16string value(units, u'\0');
    for (uint32_t i = 0; i < units; ++i) {
      value[i] = static_cast<WChar>(data_[at_] | data_[at_ + 1] << 8);
      at_ += 2;
    }
    text = WideString(std::move(value));
    return true;
  }
  bool GetBytes(std::vector<uint8_t>& bytes) {
    uint32_t count = 0;
    if (!Get32(count) || size_ - at_ < count) return false;
    bytes.assign(data_ + at_, data_ + at_ + count);
    at_ += count;
    return true;
  }
  bool AtEnd() const { return at_ == size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

enum class BodyRead : uint8_t { Ok, Bad, UnknownKind };

BodyRead ReadBody(const uint8_t* data, size_t size, uint8_t version, JournalRecord& record) {
  BodyCursor cursor(data, size);
  uint8_t kind = 0;
  if (!cursor.Get8(kind) || kind == 0) return BodyRead::Bad;
  const uint8_t last = version == 1 ? static_cast<uint8_t>(JournalKind::OldFileKept) : kLastJournalKind;
  if (kind > last) return BodyRead::UnknownKind;
  record.kind = static_cast<JournalKind>(kind);
  return cursor.Get32(record.number) && cursor.Get32(record.type) && cursor.GetText(record.path) &&
                 cursor.GetText(record.other) && cursor.GetBytes(record.bytes) && cursor.AtEnd()
             ? BodyRead::Ok
             : BodyRead::Bad;
}

bool ZerosFrom(const uint8_t* data, size_t from, size_t size) {
  for (size_t i = from; i < size; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

uint32_t Read32(const uint8_t* data) {
  return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

}  // namespace

void AppendJournalHeader(std::vector<uint8_t>& out) {
  out.insert(out.end(), kMagic, kMagic + sizeof kMagic);
  out.push_back(kJournalVersion);
}

void AppendJournalRecord(const JournalRecord& record, std::vector<uint8_t>& out) {
  const size_t lengthAt = out.size();
  Put32(0, out);
  const size_t bodyAt = out.size();
  out.push_back(static_cast<uint8_t>(record.kind));
  Put32(record.number, out);
  Put32(record.type, out);
  PutText(record.path, out);
  PutText(record.other, out);
  Put32(static_cast<uint32_t>(record.bytes.size()), out);
  out.insert(out.end(), record.bytes.begin(), record.bytes.end());
  const uint32_t bodySize = static_cast<uint32_t>(out.size() - bodyAt);
  for (int i = 0; i < 4; ++i) out[lengthAt + i] = static_cast<uint8_t>(bodySize >> (8 * i));
  Put32(Checksum(out.data() + bodyAt, bodySize), out);
}

bool JournalReading::Committed() const {
  for (const JournalRecord& record : records) {
    if (record.kind == JournalKind::Committed) return true;
  }
  return false;
}

JournalReading ReadJournal(const uint8_t* data, size_t size) {
  JournalReading reading;
  if (ZerosFrom(data, 0, size)) return reading;  // nothing written yet
  if (size < kHeaderSize) {
    // A header cut short is one the run was writing when it ended.
    reading.complete = false;
    for (size_t i = 0; i < size && i < sizeof kMagic; ++i) {
      if (data[i] != kMagic[i]) reading.refusal = JournalRefusal::Damaged;
    }
    return reading;
  }
  for (size_t i = 0; i < sizeof kMagic; ++i) {
    if (data[i] != kMagic[i]) {
      reading.complete = false;
      reading.refusal = JournalRefusal::Damaged;
      return reading;
    }
  }
  reading.recognised = true;
  reading.version = data[sizeof kMagic];
  if (reading.version == 0 || reading.version > kJournalVersion) {
    reading.complete = false;
    reading.refusal = reading.version == 0 ? JournalRefusal::Damaged : JournalRefusal::NewerVersion;
    return reading;
  }
  size_t at = kHeaderSize;
  while (at < size) {
    // Reserved space: the written frames end here.
    if (ZerosFrom(data, at, size)) return reading;
    if (size - at < 8) break;
    const uint32_t bodySize = Read32(data + at);
    if (bodySize > kMaxFrameBytes) {
      if (!ZerosFrom(data, at + 4, size)) reading.refusal = JournalRefusal::Damaged;
      break;
    }
    if (size - at - 8 < bodySize) break;  // cut short: the last write
    const uint8_t* body = data + at + 4;
    if (Read32(body + bodySize) != Checksum(body, bodySize)) {
      // Torn where the run stopped writing, or damaged before frames that
      // were written after it.
      if (!ZerosFrom(data, at + 8 + bodySize, size)) reading.refusal = JournalRefusal::Damaged;
      break;
    }
    JournalRecord record;
    const BodyRead read = ReadBody(body, bodySize, reading.version, record);
    if (read != BodyRead::Ok) {
      reading.refusal = read == BodyRead::UnknownKind ? JournalRefusal::UnknownKind : JournalRefusal::Damaged;
      break;
    }
    reading.records.push_back(std::move(record));
    at += 8 + bodySize;
  }
  reading.complete = at == size;
  return reading;
}

WideString KeptAsideName(const WideString& tag, uint32_t index) {
  return WideString(u"~PLI") + tag + u"-" + WideString::FromUnsigned(index) + u".old";
}

WideString RunTempPrefix(const WideString& tag) { return WideString(u"~PLI") + tag + u"t-"; }

WideString RunTempFileName(const WideString& tag, uint32_t random) {
  return RunTempPrefix(tag) + WideString::Format(u"%08X", random) + u".tmp";
}

WideString RunTempFilePattern(const WideString& tag) { return WideString(u"~PLI") + tag + u"t-*.tmp"; }

std::vector<uint8_t> PlannedSizeBytes(uint64_t size) {
  std::vector<uint8_t> bytes(8);
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(size >> (8 * i));
  return bytes;
}

bool PlannedSize(const JournalRecord& record, uint64_t& size) {
  if (record.bytes.size() != 8 && record.bytes.size() != 8 + kKeptIdentityBytes) return false;
  size = 0;
  for (int i = 0; i < 8; ++i) size |= static_cast<uint64_t>(record.bytes[i]) << (8 * i);
  return true;
}

bool PlannedFileIsTheRuns(bool placedNoted, bool laterNoted, bool sizeKnown, bool sizeMatches) {
  if (placedNoted) return true;
  if (laterNoted) return false;
  return !sizeKnown || sizeMatches;
}

PlannedUndo UndoOfPlannedFile(bool existedBefore, bool keptAsidePresent, bool destinationPresent) {
  // A destination that was not there before the run gets nothing back: a
  // file under the kept-aside name is the run's own first copy, or one that
  // somebody else put there.
  if (!existedBefore) return destinationPresent ? PlannedUndo::Delete : PlannedUndo::Nothing;
  if (keptAsidePresent) return PlannedUndo::PutBack;
  return PlannedUndo::Nothing;
}

void AppendKeptIdentity(const KeptIdentity& identity, std::vector<uint8_t>& bytes) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(identity.volumeSerial >> (8 * i)));
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(identity.fileId >> (8 * i)));
}

bool KeptIdentityOf(const JournalRecord& record, KeptIdentity& identity) {
  size_t at = 0;
  switch (record.kind) {
    case JournalKind::PlannedFile:
      if (record.bytes.size() == 8 + kKeptIdentityBytes) {
        at = 8;
      } else if (record.bytes.size() != kKeptIdentityBytes) {
        return false;
      }
      break;
    case JournalKind::FileReplaced:
    case JournalKind::OldFileKept:
    case JournalKind::AsideIdentity:
      if (record.bytes.size() != kKeptIdentityBytes) return false;
      break;
    default: return false;
  }
  identity = KeptIdentity();
  for (int i = 0; i < 4; ++i) identity.volumeSerial |= static_cast<uint32_t>(record.bytes[at + i]) << (8 * i);
  for (int i = 0; i < 8; ++i) identity.fileId |= static_cast<uint64_t>(record.bytes[at + 4 + i]) << (8 * i);
  return true;
}

bool KeptAsideBeside(const WideString& destination, const WideString& aside) {
  const int slash = destination.FindLast(u'\\');
  const int asideSlash = aside.FindLast(u'\\');
  if (slash == 0 || asideSlash != slash) return false;
  const WideString name = aside.From(asideSlash + 1);
  return SamePath(aside.Left(asideSlash), destination.Left(slash)) && name.StartsWith(u"~PLI", true) &&
         name.FindChar(u'/') == 0;
}
