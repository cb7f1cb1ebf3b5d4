#include "script/win/read_line.h"

#include <cstring>

LineReader::LineReader(DiskFile& file, bool wide, size_t block)
    : file_(file), unitSize_(wide ? 2 : 1), buffer_(block) {}

bool LineReader::Next(WideString& line) { return ReadLineFrom(*this, unitSize_ == 2, line); }

void LineReader::NextValues(WideString* values, int count) {
  for (int i = 0; i < count; ++i)
    if (!Next(values[i])) values[i].Clear();
}

bool LineReader::Rewind() {
  next_ = end_ = 0;
  return file_.Seek(0, false);
}

void LineReader::GiveBack() {
  if (end_ > next_) file_.Seek(-static_cast<int64_t>(end_ - next_), true);
  next_ = end_ = 0;
}

bool LineReader::ReadUnit(uint16_t& unit) {
  if (end_ - next_ < unitSize_) {
    const size_t kept = end_ - next_;  // half a wide unit at most
    std::memmove(buffer_.data(), buffer_.data() + next_, kept);
    next_ = 0;
    end_ = kept + file_.Read(buffer_.data() + kept, static_cast<DWORD>(buffer_.size() - kept));
    if (end_ < unitSize_) return false;
  }
  unit = unitSize_ == 2 ? static_cast<uint16_t>(buffer_[next_] | (buffer_[next_ + 1] << 8)) : buffer_[next_];
  next_ += unitSize_;
  return true;
}

// Only ever called right after a unit was read, which is still in the block.
void LineReader::StepBack() { next_ -= unitSize_; }

bool ReadLine(DiskFile& file, WideString& line, bool wide) {
  LineReader reader(file, wide, 512);
  const bool read = reader.Next(line);
  reader.GiveBack();
  return read;
}

void ReadValueLines(DiskFile& file, WideString* values, int count, bool wide) {
  for (int i = 0; i < count; ++i)
    if (!ReadLine(file, values[i], wide)) values[i].Clear();
}
