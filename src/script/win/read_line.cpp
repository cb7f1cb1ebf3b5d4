#include "script/win/read_line.h"

#include <cstring>

#include "script/line_rules.h"

namespace {

// Reads ahead in small blocks instead of one ReadFile call per unit, and
// gives back what the line did not use, so the file stands just behind the
// line as if it had been read unit by unit.
class FileUnits : public UnitSource {
 public:
  FileUnits(DiskFile& file, bool wide) : file_(file), unitSize_(wide ? 2 : 1) {}
  FileUnits(const FileUnits&) = delete;
  FileUnits& operator=(const FileUnits&) = delete;
  ~FileUnits() override {
    if (end_ > next_) file_.Seek(-static_cast<int64_t>(end_ - next_), true);
  }

  bool ReadUnit(uint16_t& unit) override {
    if (end_ - next_ < unitSize_) {
      size_t kept = end_ - next_;  // half a wide unit at most
      std::memmove(buffer_, buffer_ + next_, kept);
      next_ = 0;
      end_ = kept + file_.Read(buffer_ + kept, static_cast<DWORD>(sizeof buffer_ - kept));
      if (end_ < unitSize_) return false;
    }
    unit = unitSize_ == 2 ? static_cast<uint16_t>(buffer_[next_] | (buffer_[next_ + 1] << 8)) : buffer_[next_];
    next_ += unitSize_;
    return true;
  }
  // Only ever called right after a unit was read, which is still in the block.
  void StepBack() override { next_ -= unitSize_; }

 private:
  DiskFile& file_;
  size_t unitSize_;
  uint8_t buffer_[512];
  size_t next_ = 0;
  size_t end_ = 0;
};

}  // namespace

bool ReadLine(DiskFile& file, WideString& line, bool wide) {
  FileUnits units(file, wide);
  return ReadLineFrom(units, wide, line);
}

void ReadValueLines(DiskFile& file, WideString* values, int count, bool wide) {
  for (int i = 0; i < count; ++i)
    if (!ReadLine(file, values[i], wide)) values[i].Clear();
}
