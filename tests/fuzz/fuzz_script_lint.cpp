// The packer's script scan and linter on any bytes: no crash, findings in
// line order pointing at lines that exist, every directive holding at most
// its number of value lines, and member names as the script spells them.
#include <cstdlib>
#include <string>

#include "fuzz_seeds.h"
#include "packer/script_lint.h"
#include "packer/script_members.h"
#include "packer/script_scan.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

std::vector<std::vector<uint8_t>> FuzzSeeds() {
  return {
      Text(""),
      Text("[Project Name]\r\nDemo\r\n[Install To]\r\n<Program Files>Demo\\\r\n[CopyFile]\r\na.exe\r\n<Destination>a.exe\r\n"),
      Text("[copyfile] \n[CopyFile]\n[Action]\n[Message]\nHi"),
      Text("[Registry]\rHKXX\rk\rBINARY\rv\rblob\r[RunFile]\r<TempInstall>\\t.exe\r\r\r"),
      Text("\xEF\xBB\xBF[Project Name]\r\nCON\r\n\x81\x9D"),
      Text("[InstallContainer]\n[Message]\nx{force32bitinstallif}y\nQuestionYesNo\n[Windows Version]\nfour\n"),
  };
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScriptScan scan = ScanScript(data, size);
  int lastLine = 0;
  for (const ScriptDirective& d : scan.directives) {
    Require(d.info != nullptr && int(d.values.size()) <= d.info->valueLines);
    Require(d.line > lastLine);
    lastLine = d.values.empty() ? d.line : d.values.back().number;
  }
  for (const std::string& name : ScriptMemberNames(scan)) {
    Require(!name.empty());
    std::string script(reinterpret_cast<const char*>(data), size);
    Require(script.find(name) != std::string::npos);
  }
  size_t lines = 1;
  for (size_t i = 0; i < size; ++i) lines += (data[i] == '\n' || data[i] == '\r') ? 1 : 0;
  for (bool withLookup : {false, true}) {
    MemberLookup lookup;
    if (withLookup) lookup = [](const std::string& name) { return name.size() % 2 == 0; };
    std::vector<LintFinding> findings = LintScript(data, size, lookup);
    int previous = 0;
    for (const LintFinding& f : findings) {
      Require(f.line >= 1 && size_t(f.line) <= lines && f.line >= previous && !f.text.empty());
      previous = f.line;
    }
  }
  return 0;
}
