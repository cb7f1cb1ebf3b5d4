#include "script/win/read_line.h"

#include "script/line_rules.h"

namespace {

class FileUnits : public UnitSource {
 public:
  FileUnits(DiskFile& file, bool wide) : file_(file), wide_(wide) {}
  bool ReadUnit(uint16_t& unit) override {
    uint8_t bytes[2] = {0, 0};
    DWORD want = wide_ ? 2 : 1;
    if (file_.Read(bytes, want) != want) return false;
    unit = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    return true;
  }
  void StepBack() override { file_.Seek(wide_ ? -2 : -1, true); }

 private:
  DiskFile& file_;
  bool wide_;
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
