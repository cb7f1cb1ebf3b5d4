#include "rollback/journal_records.h"

namespace {

const uint8_t kHeader[8] = {'P', 'L', 'I', 'J', 'R', 'N', 'L', 1};

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

bool ReadBody(const uint8_t* data, size_t size, JournalRecord& record) {
  BodyCursor cursor(data, size);
  uint8_t kind = 0;
  if (!cursor.Get8(kind) || kind == 0 || kind > kLastJournalKind) return false;
  record.kind = static_cast<JournalKind>(kind);
  return cursor.Get32(record.number) && cursor.Get32(record.type) && cursor.GetText(record.path) &&
         cursor.GetText(record.other) && cursor.GetBytes(record.bytes) && cursor.AtEnd();
}

uint32_t Read32(const uint8_t* data) {
  return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

}  // namespace

void AppendJournalHeader(std::vector<uint8_t>& out) { out.insert(out.end(), kHeader, kHeader + sizeof kHeader); }

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
  if (size < sizeof kHeader) {
    reading.complete = size == 0;
    return reading;
  }
  for (size_t i = 0; i < sizeof kHeader; ++i) {
    if (data[i] != kHeader[i]) {
      reading.complete = false;
      return reading;
    }
  }
  reading.recognised = true;
  size_t at = sizeof kHeader;
  while (at < size) {
    if (size - at < 8) break;
    const uint32_t bodySize = Read32(data + at);
    if (bodySize > kMaxFrameBytes || size - at - 8 < bodySize) break;
    const uint8_t* body = data + at + 4;
    if (Read32(body + bodySize) != Checksum(body, bodySize)) break;
    JournalRecord record;
    if (!ReadBody(body, bodySize, record)) break;
    reading.records.push_back(std::move(record));
    at += 8 + bodySize;
  }
  reading.complete = at == size;
  return reading;
}

WideString KeptAsideName(const WideString& tag, uint32_t index) {
  return WideString(u"~PLI") + tag + u"-" + WideString::FromUnsigned(index) + u".old";
}

PlannedUndo UndoOfPlannedFile(bool existedBefore, bool keptAsidePresent, bool destinationPresent) {
  // A destination that was not there before the run gets nothing back: a
  // file under the kept-aside name is the run's own first copy, or one that
  // somebody else put there.
  if (!existedBefore) return destinationPresent ? PlannedUndo::Delete : PlannedUndo::Nothing;
  if (keptAsidePresent) return PlannedUndo::PutBack;
  return PlannedUndo::Nothing;
}
