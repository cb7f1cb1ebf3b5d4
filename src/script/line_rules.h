#pragma once
// The line rules of script-like files, over any source of units: lines end
// with CR LF, a lone CR or a lone LF; the last line needs no line end; in
// wide mode (UTF-16 LE) a U+FEFF that comes first in a line is dropped.
// Narrow units are single bytes, converted one by one through the ANSI code
// page.

#include <cstddef>
#include <cstdint>
#include <string>

#include "util/wide_string.h"

// What the line reader needs from a file: one unit at a time, and a step
// back by one unit after a CR that is not followed by LF.
class UnitSource {
 public:
  virtual ~UnitSource() = default;
  // False at the end of the input (a partial wide unit counts as the end).
  virtual bool ReadUnit(uint16_t& unit) = 0;
  virtual void StepBack() = 0;
};

// Reads the next line into line (bytes kept raw in rawBytes when given, for
// narrow mode). Returns false only at the end of the input with nothing read.
bool ReadLineFrom(UnitSource& source, bool wide, WideString& line, std::string* rawBytes = nullptr);

// A reader over bytes in memory, for the packer and the tests.
class ScriptLineReader : private UnitSource {
 public:
  ScriptLineReader(const uint8_t* data, size_t size, bool wide) : data_(data), size_(size), wide_(wide) {}
  bool Next(WideString& line);
  // The line's bytes as they stand in the file (narrow mode).
  bool NextRaw(std::string& bytes);
  // 1-based number of the line last returned.
  int LineNumber() const { return lineNumber_; }

 private:
  bool ReadUnit(uint16_t& unit) override;
  void StepBack() override;

  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  bool wide_;
  int lineNumber_ = 0;
};
