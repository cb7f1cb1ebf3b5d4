#pragma once
// The line reader for the install script, the uninstall record (narrow,
// ANSI code page) and the relay file (wide, UTF-16 LE). Returns false only
// at the end of the file with nothing read, so a reader loops until false.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "script/line_rules.h"
#include "util/wide_string.h"
#include "util/win/disk_file.h"

// Lines from a file read only through this reader, which reads it ahead a
// block at a time: a script of a thousand files costs a few reads, not a
// read and a seek per line.
class LineReader : private UnitSource {
 public:
  LineReader(DiskFile& file, bool wide, size_t block = 16384);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  bool Next(WideString& line);
  // As ReadValueLines.
  void NextValues(WideString* values, int count);
  // Back to the first line.
  bool Rewind();
  // Gives back to the file what was read ahead, so that it stands just
  // behind the last line as if it had been read unit by unit.
  void GiveBack();

 private:
  bool ReadUnit(uint16_t& unit) override;
  void StepBack() override;

  DiskFile& file_;
  size_t unitSize_;
  std::vector<uint8_t> buffer_;
  size_t next_ = 0;
  size_t end_ = 0;
};

// One line; the file is left just behind it, for a caller that reads or
// seeks the file itself between lines.
bool ReadLine(DiskFile& file, WideString& line, bool wide);

// Reads the value lines of a directive; missing lines at the end of the file
// are left empty. values must have room for count strings.
void ReadValueLines(DiskFile& file, WideString* values, int count, bool wide = false);
