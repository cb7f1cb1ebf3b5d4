#pragma once
// The line reader for the install script, the uninstall record (narrow,
// ANSI code page) and the relay file (wide, UTF-16 LE). Returns false only
// at the end of the file with nothing read, so a reader loops until false.

#include <memory>

#include "util/wide_string.h"
#include "util/win/disk_file.h"

// One line; the file is left just behind it, for a caller that reads or
// seeks the file itself between lines.
bool ReadLine(DiskFile& file, WideString& line, bool wide);

// Reads the value lines of a directive; missing lines at the end of the file
// are left empty. values must have room for count strings.
void ReadValueLines(DiskFile& file, WideString* values, int count, bool wide = false);

// The same lines from a file read only through this reader, which reads it
// ahead a block at a time: a script of a thousand files costs a few reads,
// not a read and a seek per line.
class LineReader {
 public:
  LineReader(DiskFile& file, bool wide);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  ~LineReader();

  bool Next(WideString& line);
  // As ReadValueLines.
  void NextValues(WideString* values, int count);
  // Back to the first line.
  bool Rewind();

 private:
  static constexpr size_t kBlock = 16384;
  class Units;

  DiskFile& file_;
  bool wide_;
  std::unique_ptr<Units> units_;
};
