#include "packer/script_scan.h"

#include "script/line_rules.h"
#include "util/cp1252.h"

namespace {
const char kTempInstall[] = "<TempInstall>";
}

const ScriptLine& ScriptDirective::Value(size_t index) const {
  static const ScriptLine kEmpty;
  return index < values.size() ? values[index] : kEmpty;
}

WideString DecodeCp1252(const std::string& bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  for (char c : bytes) units.push_back(Cp1252ToUnit(uint8_t(c)));
  return WideString(std::move(units));
}

ScriptScan ScanScript(const uint8_t* data, size_t size) {
  ScriptScan scan;
  ScriptLineReader reader(data, size, false);
  ScriptLine line;
  auto next = [&]() {
    if (!reader.NextRaw(line.bytes)) return false;
    line.number = reader.LineNumber();
    line.text = DecodeCp1252(line.bytes);
    return true;
  };
  while (next()) {
    const DirectiveInfo* info = FindDirective(line.text);
    if (info == nullptr) {
      scan.otherLines.push_back(line);
      continue;
    }
    ScriptDirective directive;
    directive.info = info;
    directive.line = line.number;
    for (int i = 0; i < info->valueLines && next(); ++i) directive.values.push_back(line);
    if (directive.Is(Directive::InstallContainer)) scan.container = true;
    scan.directives.push_back(std::move(directive));
  }
  return scan;
}

std::string TempInstallMember(const ScriptLine& program) {
  if (program.bytes.find(kTempInstall) == std::string::npos) return {};
  // Characters from the 14th on, as the installer takes them.
  std::string member = program.bytes.size() > 13 ? program.bytes.substr(13) : std::string();
  if (!member.empty() && member[0] == '\\') member.erase(0, 1);
  return member;
}
