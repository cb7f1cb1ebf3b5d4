#include "script/line_rules.h"

bool ReadLineFrom(UnitSource& source, bool wide, WideString& line, std::string* rawBytes) {
  line.Clear();
  // A narrow line becomes text once it is complete: in a double-byte code
  // page a character is two bytes (and one call per line, not per byte).
  std::string bytes;
  std::string& narrow = rawBytes != nullptr ? *rawBytes : bytes;
  narrow.clear();
  const auto ended = [&](bool counts) {
    if (!wide) line = WideString::FromAnsi(narrow.data(), static_cast<int>(narrow.size()));
    return counts;
  };
  for (;;) {
    uint16_t unit = 0;
    // At the end of the input only a non-empty line counts; a line end
    // before it makes an empty line count (an empty line mid-file is a line).
    if (!source.ReadUnit(unit)) return ended(wide ? !line.IsEmpty() : !narrow.empty());
    if (unit == u'\r') {
      uint16_t next = 0;
      if (!source.ReadUnit(next)) return ended(wide ? !line.IsEmpty() : !narrow.empty());
      if (next != u'\n') source.StepBack();
      return ended(true);
    }
    if (unit == u'\n') return ended(true);
    if (wide) {
      if (unit == 0xFEFF && line.IsEmpty()) continue;
      line.AppendChar(static_cast<WChar>(unit));
    } else {
      narrow.push_back(static_cast<char>(unit));
    }
  }
}

bool ScriptLineReader::ReadUnit(uint16_t& unit) {
  if (wide_) {
    if (size_ - position_ < 2) return false;
    unit = static_cast<uint16_t>(data_[position_] | (data_[position_ + 1] << 8));
    position_ += 2;
  } else {
    if (position_ >= size_) return false;
    unit = data_[position_++];
  }
  return true;
}

void ScriptLineReader::StepBack() { position_ -= wide_ ? 2 : 1; }

bool ScriptLineReader::Next(WideString& line) {
  if (!ReadLineFrom(*this, wide_, line)) return false;
  ++lineNumber_;
  return true;
}

bool ScriptLineReader::NextRaw(std::string& bytes) {
  WideString line;
  if (!ReadLineFrom(*this, wide_, line, &bytes)) return false;
  ++lineNumber_;
  return true;
}
