#include "engine/win/stopped_install_record.h"

#include <string>
#include <vector>

#include "app/install_state.h"
#include "engine/win/uninstall_record.h"
#include "script/directives.h"
#include "util/win/disk_file.h"
#include "util/win/install_log.h"

namespace {

// The record's lines, without their line ends.
bool ReadLines(const WideString& path, std::vector<std::string>& lines) {
  DiskFile file;
  if (!file.Open(path, GENERIC_READ, OPEN_EXISTING, false)) return false;
  const uint64_t size = file.Size();
  if (size > 0x7FFFFFFF) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size != 0 && file.Read(&bytes[0], static_cast<DWORD>(size)) != size) return false;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return true;
}

// Directive names are ASCII, so the bytes compare as they are.
bool Is(const std::string& line, const char16_t* directive) {
  size_t i = 0;
  for (; directive[i] != 0; ++i) {
    if (i >= line.size() || static_cast<unsigned char>(line[i]) != directive[i]) return false;
  }
  return i == line.size();
}

// The value lines the install pass reads after line; -1 for a line that is
// none of its directives.
int ValueLinesOf(const std::string& line, bool silent) {
  if (line.empty() || line[0] != '[') return -1;
  if (Is(line, Directive::Action)) return 1;
  if (Is(line, Directive::CopyFile)) return 2;
  if (Is(line, Directive::CreateIcon)) return 4;
  if (Is(line, Directive::RunAndWaitFile) || Is(line, Directive::RunFile)) return 3;
  if (Is(line, Directive::Message)) return silent ? 0 : 2;
  if (Is(line, Directive::Registry)) return 5;
  return -1;
}

}  // namespace

void WriteStoppedInstallRecord(const PassProgress& reached, bool silent) {
  InstallState& state = State();
  WriteUninstallRecord();
  if (!state.UninstallAllowed) return;
  const WideString recordPath = UninstallRecordPathFor(state.ProjectName);
  std::vector<std::string> lines;
  if (!ReadLines(recordPath, lines)) return;

  std::string kept;
  int copies = 0;
  int shortcuts = 0;
  int registry = 0;
  for (size_t i = 0; i < lines.size();) {
    const std::string& line = lines[i];
    const int values = ValueLinesOf(line, silent);
    size_t next = i + 1 + static_cast<size_t>(values < 0 ? 0 : values);
    if (next > lines.size()) next = lines.size();
    bool keep = true;
    if (values >= 0) {
      if (Is(line, Directive::CopyFile)) keep = ++copies <= reached.copies;
      if (Is(line, Directive::CreateIcon)) keep = ++shortcuts <= reached.shortcuts;
      if (Is(line, Directive::Registry)) keep = ++registry <= reached.registry;
    }
    for (size_t k = i; keep && k < next; ++k) kept += lines[k] + "\r\n";
    i = next;
  }

  // A whole new record or the old one: never half of one.
  const WideString newPath = recordPath + u".new";
  {
    DiskFile record;
    if (!record.Open(newPath, GENERIC_WRITE, CREATE_ALWAYS, false) ||
        !record.Write(kept.data(), static_cast<DWORD>(kept.size()))) {
      record.Close();
      DeleteFileW(newPath.W());
      return;
    }
  }
  if (!MoveFileExW(newPath.W(), recordPath.W(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(newPath.W());
    return;
  }
  LogEvent(log_kind::kUninstallRecord,
           WideString::Format(u"%s lists what the install did before it stopped: %d [CopyFile], %d [CreateIcon] "
                              u"and %d [Registry] entries",
                              recordPath, reached.copies, reached.shortcuts, reached.registry));
}
