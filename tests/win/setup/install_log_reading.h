#pragma once
// Reads an install log back for the tests: each line split into the
// process id, role, kind and detail that the log writer puts there, and a
// table of expected lines to check it against.

#include <string>
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

struct InstallLogLine {
  DWORD processId = 0;
  WideString role;
  WideString kind;
  WideString detail;
};

// The lines of the log at path. Adds a test failure for every line that is
// not in the log's format (time stamp, "[pid role] kind[: detail]", CR LF,
// UTF-8), and for a file that does not end with a line end.
std::vector<InstallLogLine> ReadInstallLog(const WideString& path);

// One expected line: its role and kind, and a text its detail must hold.
struct ExpectedLogLine {
  WideString role;
  WideString kind;
  WideString detailPart;
};

// Adds a test failure for each expected line that the log lacks, printing
// the whole log once when any is missing.
void ExpectLogLines(const std::vector<InstallLogLine>& log, const std::vector<ExpectedLogLine>& expected);

// The lines of one kind.
std::vector<InstallLogLine> LinesOfKind(const std::vector<InstallLogLine>& log, const WChar* kind);

// Every process in the log wrote exactly one start line before its other
// lines and one end line after them, with this exit code; the first line is
// the start of firstRole. Adds test failures otherwise.
void ExpectEachProcessFramed(const std::vector<InstallLogLine>& log, const WChar* firstRole, int exitCode);
