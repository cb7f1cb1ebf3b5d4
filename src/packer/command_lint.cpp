#include <algorithm>
#include <cstdio>
#include <set>

#include "packer/cli_commands.h"
#include "packer/file_io.h"
#include "packer/messages.h"
#include "packer/platform_files.h"
#include "packer/script_members.h"
#include "pe/export_table.h"

namespace {

// Files below folder as member names ("bin\\tool.dll"), with their paths;
// files and folders whose names start with a dot (.git, .gitignore) are
// left out, and the walk stops after limit files.
void CollectFiles(const std::string& folder, const std::string& prefix, size_t limit,
                  std::vector<std::pair<std::string, std::string>>* out) {
  std::vector<std::string> names;
  if (!ListFolderFiles(folder, &names)) return;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (out->size() >= limit) return;
    if (name[0] != '.') out->emplace_back(prefix + name, JoinPath(folder, name));
  }
  if (!ListSubfolders(folder, &names)) return;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (name[0] != '.') CollectFiles(JoinPath(folder, name), prefix + name + "\\", limit, out);
  }
}

}  // namespace

void WarnAboutUninstalledFiles(const std::string& folder, const std::vector<uint8_t>& script,
                               const std::vector<std::string>& used,
                               const std::function<bool(const std::string& path)>& skip) {
  ScriptScan scan = ScanScript(script.data(), script.size());
  // A container packs every file of the folder.
  if (scan.container) return;
  std::set<std::string> named;
  for (const std::string& name : ScriptMemberNames(scan)) named.insert(MemberKey(name));
  for (const std::string& name : used) named.insert(MemberKey(name));
  std::vector<std::pair<std::string, std::string>> files;
  CollectFiles(folder, "", 100000, &files);
  std::vector<std::string> left;
  for (const auto& [utf8Name, path] : files) {
    std::string name;
    if (!Utf8ToCp1252(utf8Name, &name)) name = utf8Name;
    if (named.count(MemberKey(name)) != 0 || skip(path)) continue;
    left.push_back(utf8Name);
  }
  const size_t shown = 10;
  for (size_t i = 0; i < left.size() && i < shown; ++i) {
    PrintWarning("'" + left[i] + "' in '" + folder + "' is installed by no line of the script");
  }
  if (left.size() > shown) {
    PrintWarning(std::to_string(left.size() - shown) + " more files in '" + folder + "' are installed by no line");
  }
}

bool FileRegistersItself(const std::string& path) {
  FileSource file;
  return file.Open(path) && RegistersItself(file);
}

bool ReportLintFindings(const std::string& scriptPath, const std::vector<uint8_t>& script, const MemberLookup& lookup,
                        const LintOptions& options) {
  std::vector<LintFinding> findings = LintScript(script.data(), script.size(), lookup, options);
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
    if (KindOfPath(args.files) != PathKind::Folder) return Fail(kExitBadInput, "--files '" + args.files + "': folder not found");
    lookup = [&](const std::string& name) {
      return KindOfPath(JoinPath(args.files, Cp1252ToUtf8(name))) == PathKind::File;
    };
  }
  LintOptions options;
  options.allowUnknown = args.allowUnknown;
  if (!args.files.empty()) {
    options.registersItself = [&](const std::string& name) {
      return FileRegistersItself(JoinPath(args.files, Cp1252ToUtf8(name)));
    };
  }
  bool errors = ReportLintFindings(scriptPath, script, lookup, options);
  if (!args.files.empty()) {
    WarnAboutUninstalledFiles(args.files, script, {"setup.lic", "setup.bmp"},
                              [&](const std::string& path) { return IsSameFile(path, scriptPath); });
  }
  return errors ? kExitBadInput : kExitOk;
}
