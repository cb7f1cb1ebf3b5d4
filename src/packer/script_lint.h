#pragma once
// Checks an install script for mistakes the installer would pass over in
// silence: misspelt section lines, value lines that other readers take as
// directives, a script that ends inside a directive, section lines and
// folder macros that no reader knows (with the nearest known name), unknown
// registry roots
// and types, message kinds, a missing product name or install folder,
// members that are not there, files to place in a container script, text
// that is not Windows-1252, an unknown install scope, and in a script
// installed for the current user alone what only a machine install can do.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class LintSeverity { Warning, Error };

struct LintFinding {
  int line = 0;  // 1-based; findings about the whole script point at line 1
  LintSeverity severity = LintSeverity::Error;
  std::string text;  // UTF-8
};

// Answers whether a payload member (its Windows-1252 name) can be found.
using MemberLookup = std::function<bool(const std::string& name)>;

struct LintOptions {
  // Unknown section lines and folder macros are warnings, not errors: the
  // installer skips such lines, and a publisher may keep one on purpose.
  bool allowUnknown = false;
  // Answers whether a payload member registers itself (exports
  // DllRegisterServer), for the DLLs and OCXs a per-user install cannot
  // register; without it, members are not read.
  std::function<bool(const std::string& name)> registersItself;
};

// The findings in line order. Without a lookup, members are not looked for.
std::vector<LintFinding> LintScript(const uint8_t* data, size_t size, const MemberLookup& lookup,
                                    const LintOptions& options = {});

bool HasLintErrors(const std::vector<LintFinding>& findings);

// True when text can be a Windows file name (no reserved characters or
// device names, no trailing dot or blank).
bool IsWindowsFileName(const std::u16string& text);
