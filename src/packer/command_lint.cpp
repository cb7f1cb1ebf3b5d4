#include <cstdio>

#include "packer/cli_commands.h"
#include "packer/file_io.h"
#include "packer/messages.h"
#include "packer/platform_files.h"
#include "packer/script_members.h"

bool ReportLintFindings(const std::string& scriptPath, const std::vector<uint8_t>& script, const MemberLookup& lookup) {
  std::vector<LintFinding> findings = LintScript(script.data(), script.size(), lookup);
  std::fflush(stdout);
  for (const LintFinding& f : findings) {
    std::fprintf(stderr, "%s:%d: %s: %s\n", scriptPath.c_str(), f.line,
                 f.severity == LintSeverity::Error ? "error" : "warning", f.text.c_str());
  }
  return HasLintErrors(findings);
}

int CommandLint(const Arguments& args) {
  const std::string& scriptPath = args.operands[0];
  std::vector<uint8_t> script;
  if (int status = ReadInputFile(scriptPath, "script", &script)) return status;
  MemberLookup lookup;
  if (!args.files.empty()) {
    if (KindOfPath(args.files) != PathKind::Folder) return Fail(kExitBadInput, "folder '" + args.files + "' not found");
    lookup = [&](const std::string& name) {
      return KindOfPath(JoinPath(args.files, Cp1252ToUtf8(name))) == PathKind::File;
    };
  }
  return ReportLintFindings(scriptPath, script, lookup) ? kExitBadInput : kExitOk;
}
