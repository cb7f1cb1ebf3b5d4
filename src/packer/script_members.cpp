#include "packer/script_members.h"

#include <set>

#include "util/cp1252.h"

std::string MemberKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  }
  return key;
}

std::vector<std::string> ScriptMemberNames(const ScriptScan& scan) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  auto add = [&](const std::string& name) {
    if (!name.empty() && seen.insert(MemberKey(name)).second) names.push_back(name);
  };
  for (const ScriptDirective& d : scan.directives) {
    if (d.Is(Directive::CopyFile) && !d.values.empty()) {
      add(d.Value(0).bytes);
    } else if (d.Is(Directive::Registry) && d.values.size() >= 5 && d.Value(2).text == WideString(u"BINARY")) {
      add(d.Value(4).bytes);
    } else if (d.Is(Directive::RunFile) || d.Is(Directive::RunAndWaitFile)) {
      add(TempInstallMember(d.Value(0)));
    }
  }
  return names;
}

bool Utf8ToCp1252(const std::string& utf8, std::string* cp1252) {
  WideString text = WideString::FromUtf8(utf8.c_str(), int(utf8.size()));
  if (text.ToUtf8() != utf8) return false;  // malformed input does not survive the round trip
  cp1252->clear();
  for (char16_t unit : text.Str()) {
    uint8_t byte = 0;
    if (!UnitToCp1252(unit, &byte) || byte == 0 || IsUndefinedCp1252(byte)) return false;
    cp1252->push_back(char(byte));
  }
  return true;
}

std::string Cp1252ToUtf8(const std::string& cp1252) { return DecodeCp1252(cp1252).ToUtf8(); }
