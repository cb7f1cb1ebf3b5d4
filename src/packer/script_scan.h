#pragma once
// One pass over an install script as the installer's readers see it: each
// directive with its value lines (consumed even when they look like section
// lines), and every other line. The packer's linter and its member
// collection both work from this.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script/directives.h"
#include "util/wide_string.h"

struct ScriptLine {
  int number = 0;      // 1-based
  std::string bytes;   // as stored (Windows-1252)
  WideString text;     // the same, decoded
};

struct ScriptDirective {
  const DirectiveInfo* info = nullptr;
  int line = 0;
  std::vector<ScriptLine> values;  // fewer than info->valueLines when the script ends early

  bool Is(const char16_t* section) const { return WideString(info->section) == WideString(section); }
  bool Complete() const { return int(values.size()) == info->valueLines; }
  // The value line at 0-based index, or empty text when missing.
  const ScriptLine& Value(size_t index) const;
};

struct ScriptScan {
  std::vector<ScriptDirective> directives;
  std::vector<ScriptLine> otherLines;  // lines outside any directive
  bool container = false;              // holds [InstallContainer]
};

ScriptScan ScanScript(const uint8_t* data, size_t size);

// Windows-1252 bytes to text, one unit per byte.
WideString DecodeCp1252(const std::string& bytes);

// The payload member a program line names with "<TempInstall>", or empty
// when the line names none: the text from its 14th character on, without
// a leading backslash.
std::string TempInstallMember(const ScriptLine& program);
