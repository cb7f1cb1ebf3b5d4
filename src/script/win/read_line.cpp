#include "script/win/read_line.h"

#include <cstring>

#include "script/line_rules.h"

namespace {

// Reads ahead in blocks instead of one ReadFile call per unit.
template <size_t kBlock>
class FileUnits : public UnitSource {
 public:
  FileUnits(DiskFile& file, bool wide) : file_(file), unitSize_(wide ? 2 : 1) {}
  FileUnits(const FileUnits&) = delete;
  FileUnits& operator=(const FileUnits&) = delete;

  bool ReadUnit(uint16_t& unit) override {
    if (end_ - next_ < unitSize_) {
      size_t kept = end_ - next_;  // half a wide unit at most
      std::memmove(buffer_, buffer_ + next_, kept);
      next_ = 0;
      end_ = kept + file_.Read(buffer_ + kept, static_cast<DWORD>(kBlock - kept));
      if (end_ < unitSize_) return false;
    }
    unit = unitSize_ == 2 ? static_cast<uint16_t>(buffer_[next_] | (buffer_[next_ + 1] << 8)) : buffer_[next_];
    next_ += unitSize_;
    return true;
  }
  // Only ever called right after a unit was read, which is still in the block.
  void StepBack() override { next_ -= unitSize_; }

  // Gives back to the file what was read ahead, so that it stands just
  // behind the last unit as if it had been read unit by unit.
  void GiveBack() {
    if (end_ > next_) file_.Seek(-static_cast<int64_t>(end_ - next_), true);
    next_ = end_ = 0;
  }
  void Forget() { next_ = end_ = 0; }

 private:
  DiskFile& file_;
  size_t unitSize_;
  uint8_t buffer_[kBlock];
  size_t next_ = 0;
  size_t end_ = 0;
};

}  // namespace

bool ReadLine(DiskFile& file, WideString& line, bool wide) {
  FileUnits<512> units(file, wide);
  const bool read = ReadLineFrom(units, wide, line);
  units.GiveBack();
  return read;
}

void ReadValueLines(DiskFile& file, WideString* values, int count, bool wide) {
  for (int i = 0; i < count; ++i)
    if (!ReadLine(file, values[i], wide)) values[i].Clear();
}

class LineReader::Units : public FileUnits<kBlock> {
 public:
  using FileUnits<kBlock>::FileUnits;
};

LineReader::LineReader(DiskFile& file, bool wide)
    : file_(file), wide_(wide), units_(std::make_unique<Units>(file, wide)) {}

LineReader::~LineReader() = default;

bool LineReader::Next(WideString& line) { return ReadLineFrom(*units_, wide_, line); }

void LineReader::NextValues(WideString* values, int count) {
  for (int i = 0; i < count; ++i)
    if (!Next(values[i])) values[i].Clear();
}

bool LineReader::Rewind() {
  units_->Forget();
  return file_.Seek(0, false);
}
