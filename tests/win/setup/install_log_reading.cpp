#include "install_log_reading.h"

#include <gtest/gtest.h>

#include <map>

#include "test_folder.h"

namespace {

// "YYYY-MM-DD hh:mm:ss.mmm [pid role] kind[: detail]".
bool ParseLine(const std::string& text, InstallLogLine* line) {
  static const char kStampShape[] = "0000-00-00 00:00:00.000 [";
  const size_t stampLength = sizeof kStampShape - 1;
  if (text.size() <= stampLength) return false;
  for (size_t i = 0; i < stampLength; ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kStampShape[i] == '0' ? !digit : text[i] != kStampShape[i]) return false;
  }
  size_t at = stampLength;
  unsigned long processId = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') processId = processId * 10 + (text[at++] - '0');
  if (processId == 0 || at >= text.size() || text[at] != ' ') return false;
  const size_t close = text.find("] ", at);
  if (close == std::string::npos) return false;
  line->processId = processId;
  line->role = WideString::FromUtf8(text.substr(at + 1, close - at - 1).c_str());
  const std::string rest = text.substr(close + 2);
  const size_t colon = rest.find(": ");
  line->kind = WideString::FromUtf8(rest.substr(0, colon).c_str());
  line->detail = colon == std::string::npos ? WideString() : WideString::FromUtf8(rest.substr(colon + 2).c_str());
  return !line->role.IsEmpty() && !line->kind.IsEmpty();
}

std::string Describe(const InstallLogLine& line) {
  return "[" + std::to_string(line.processId) + " " + line.role.ToUtf8() + "] " + line.kind.ToUtf8() + ": " +
         line.detail.ToUtf8();
}

}  // namespace

std::vector<InstallLogLine> ReadInstallLog(const WideString& path) {
  std::vector<InstallLogLine> lines;
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    ADD_FAILURE() << "no log at " << path;
    return lines;
  }
  EXPECT_TRUE(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) << "the log ends mid-line";
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    const std::string text = bytes.substr(start, end - start);
    start = end + 2;
    // UTF-8 survives the round trip; a lone line feed would mean a broken line.
    EXPECT_EQ(WideString::FromUtf8(text.c_str()).ToUtf8(), text) << "not UTF-8: " << text;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    InstallLogLine line;
    if (!ParseLine(text, &line)) {
      ADD_FAILURE() << "not a log line: " << text;
      continue;
    }
    lines.push_back(line);
  }
  return lines;
}

void ExpectLogLines(const std::vector<InstallLogLine>& log, const std::vector<ExpectedLogLine>& expected) {
  bool anyMissing = false;
  for (const ExpectedLogLine& want : expected) {
    bool found = false;
    for (const InstallLogLine& line : log) {
      found = found || (line.role == want.role && line.kind == want.kind && line.detail.Find(want.detailPart) != 0);
    }
    EXPECT_TRUE(found) << "missing: [" << want.role.ToUtf8() << "] " << want.kind.ToUtf8() << ": ..."
                       << want.detailPart.ToUtf8() << "...";
    anyMissing = anyMissing || !found;
  }
  if (anyMissing) {
    std::string all;
    for (const InstallLogLine& line : log) all += Describe(line) + "\n";
    ADD_FAILURE() << "the log:\n" << all;
  }
}

std::vector<InstallLogLine> LinesOfKind(const std::vector<InstallLogLine>& log, const WChar* kind) {
  std::vector<InstallLogLine> found;
  for (const InstallLogLine& line : log) {
    if (line.kind == WideString(kind)) found.push_back(line);
  }
  return found;
}

void ExpectEachProcessFramed(const std::vector<InstallLogLine>& log, const WChar* firstRole, int exitCode) {
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front().kind, WideString(u"start"));
  EXPECT_EQ(log.front().role, WideString(firstRole));
  struct Frame {
    int starts = 0, ends = 0;
    bool linesAfterEnd = false;
    bool linesBeforeStart = false;
  };
  std::map<DWORD, Frame> frames;
  for (const InstallLogLine& line : log) {
    Frame& frame = frames[line.processId];
    if (line.kind == WideString(u"start")) {
      ++frame.starts;
    } else {
      if (frame.starts == 0) frame.linesBeforeStart = true;
      if (frame.ends != 0) frame.linesAfterEnd = true;
      if (line.kind == WideString(u"end")) {
        ++frame.ends;
        EXPECT_EQ(line.detail, WideString::Format(u"exit code %d", exitCode)) << Describe(line);
      }
    }
  }
  for (const auto& [processId, frame] : frames) {
    EXPECT_EQ(frame.starts, 1) << "process " << processId;
    EXPECT_EQ(frame.ends, 1) << "process " << processId;
    EXPECT_FALSE(frame.linesBeforeStart) << "process " << processId;
    EXPECT_FALSE(frame.linesAfterEnd) << "process " << processId;
  }
}
