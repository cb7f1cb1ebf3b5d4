#include "packer/script_lint.h"

#include <algorithm>

#include "engine/folder_macro_text.h"
#include "packer/name_suggestion.h"
#include "packer/script_members.h"
#include "engine/scope_rules.h"
#include "packer/script_scan.h"
#include "script/install_scope.h"
#include "util/cp1252.h"

namespace {

const char16_t* const kRoots[] = {u"HKCR", u"HKCU", u"HKLM", u"HKCC", u"HKU", kScopedRegistryRoot};
const char16_t* const kTypes[] = {u"STRING", u"DWORD", u"BINARY"};
const char16_t* const kMessageKinds[] = {u"Warning", u"Information", u"Question", u"Error", u"QuestionYesNo"};

template <size_t N>
bool OneOf(const WideString& text, const char16_t* const (&list)[N]) {
  return std::any_of(std::begin(list), std::end(list), [&](const char16_t* item) { return text == WideString(item); });
}

std::string Quote(const WideString& text) { return "'" + text.ToUtf8() + "'"; }

std::vector<std::u16string> SectionNames() {
  std::vector<std::u16string> names;
  for (int i = 0; i < DirectiveCount(); ++i) names.push_back(AllDirectives()[i].section);
  return names;
}

const char16_t kTempInstallMacro[] = u"<TempInstall>";

std::vector<std::u16string> MacroNames() {
  std::vector<std::u16string> names;
  for (int i = 0; i < kFolderMacroCount; ++i) names.push_back(FolderMacroName(FolderMacro(i)));
  return names;
}

// How a value line treats folder macros: not at all, as text (a word in
// angle brackets may be meant literally, so only a near miss of a macro is
// reported), or as a path (every word in angle brackets should be a macro).
enum class MacroUse { None, Text, Path };

MacroUse MacroUseOf(const ScriptDirective& d, size_t index) {
  struct Entry {
    const char16_t* section;
    size_t index;
    MacroUse use;
  };
  static const Entry kTable[] = {
      {Directive::InstallTo, 0, MacroUse::Path},      {Directive::LocateInstall, 0, MacroUse::Path},
      {Directive::CopyFile, 1, MacroUse::Path},       {Directive::CreateIcon, 0, MacroUse::Path},
      {Directive::CreateIcon, 1, MacroUse::Path},     {Directive::CreateIcon, 2, MacroUse::Text},
      {Directive::RunFile, 0, MacroUse::Path},        {Directive::RunFile, 1, MacroUse::Text},
      {Directive::RunAndWaitFile, 0, MacroUse::Path}, {Directive::RunAndWaitFile, 1, MacroUse::Text},
      {Directive::UninstallAction, 0, MacroUse::Path}, {Directive::UninstallAction, 1, MacroUse::Text},
      {Directive::Registry, 1, MacroUse::Path},       {Directive::Registry, 4, MacroUse::Text},
      {Directive::Message, 0, MacroUse::Text},
  };
  for (const Entry& e : kTable) {
    if (e.index == index && d.Is(e.section)) return e.use;
  }
  return MacroUse::None;
}

bool IsMacroWordChar(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u' ' || c == u'_';
}

class Linter {
 public:
  Linter(const MemberLookup& lookup, const LintOptions& options) : lookup_(lookup), options_(options) {}

  // The scope the installer takes from the script: the first
  // [InstallScope] (the default is machine), which must name one; the
  // installer reads no other.
  void ReadScope(const ScriptScan& scan) {
    static const std::vector<std::u16string> kScopes = {u"machine", u"user", u"either"};
    const ScriptDirective* first = nullptr;
    for (const ScriptDirective& d : scan.directives) {
      if (!d.Is(Directive::InstallScope)) continue;
      if (first != nullptr) {
        Error(d.line, "a second [InstallScope]: the installer reads only the first, on line " +
                          std::to_string(first->line));
        continue;
      }
      first = &d;
      if (d.values.empty() || ParseInstallScope(d.Value(0).text, scope_)) continue;
      std::u16string nearest = NearestName(d.Value(0).text.Str(), kScopes);
      std::string hint = nearest.empty() ? std::string() : "; did you mean " + WideString(nearest).ToUtf8() + "?";
      Error(d.Value(0).number, "install scope " + Quote(d.Value(0).text) + " is not machine, user or either" + hint);
    }
  }

  // A line that an install for the current user alone cannot carry out: an
  // error in a "user" script, a note in an "either" one, whose per-user
  // runs skip it.
  void MachineOnly(int line, const std::string& what, const std::string& why, const char* skipped = "skips it") {
    if (scope_ == InstallScope::User) {
      Error(line, what + " in a script installed for the current user alone ([InstallScope] user): " + why);
    } else if (scope_ == InstallScope::Either) {
      Warning(line, what + ": an install just for the current user " + skipped + " (" + why + ")");
    }
  }

  void CheckScope(const ScriptDirective& d) {
    if (scope_ == InstallScope::Machine) return;
    static const char kWindowsFolder[] = " is a folder of Windows, where an install for the current user has no rights";
    if (d.Is(Directive::Registry) && !d.values.empty()) {
      std::string why = MachineOnlyRootReason(d.Value(0).text);
      if (!why.empty()) MachineOnly(d.Value(0).number, "registry root " + Quote(d.Value(0).text), why);
    } else if (d.Is(Directive::CopyFile) && d.values.size() >= 2) {
      const ScriptLine& destination = d.Value(1);
      WideString macro = WindowsFolderMacroIn(destination.text);
      if (!macro.IsEmpty()) {
        MachineOnly(destination.number, "a file for " + Quote(macro),
                    Quote(macro) + kWindowsFolder + ", and Windows counts the files there for the machine "
                                                    "(SharedDLLs); place it below <Destination>");
      } else if (IsRegisteredExtension(destination.text) && options_.registersItself &&
                 options_.registersItself(d.Value(0).bytes)) {
        MachineOnly(destination.number, Quote(d.Value(0).text) + " registers itself (it exports DllRegisterServer)",
                    "registering writes the machine's COM classes", "places it without registering it");
      }
    } else if ((d.Is(Directive::InstallTo) && !d.values.empty()) ||
               (d.Is(Directive::CreateIcon) && d.values.size() >= 2)) {
      const ScriptLine& path = d.Is(Directive::InstallTo) ? d.Value(0) : d.Value(1);
      WideString macro = WindowsFolderMacroIn(path.text);
      if (macro.IsEmpty()) return;
      if (d.Is(Directive::InstallTo)) {
        MachineOnly(path.number, "install folder " + Quote(path.text), Quote(macro) + kWindowsFolder,
                    "cannot install there");
      } else {
        MachineOnly(path.number, "a shortcut in " + Quote(macro), Quote(macro) + kWindowsFolder, "cannot make it");
      }
    }
  }

  void Error(int line, std::string text) { findings_.push_back({line, LintSeverity::Error, std::move(text)}); }
  void Warning(int line, std::string text) { findings_.push_back({line, LintSeverity::Warning, std::move(text)}); }
  // A name no reader knows: an error unless the publisher allows them.
  void Unknown(int line, std::string text) {
    if (options_.allowUnknown) {
      Warning(line, std::move(text));
    } else {
      Error(line, text + " (--allow-unknown keeps it)");
    }
  }

  void CheckBytes(const ScriptLine& line) {
    for (char c : line.bytes) {
      if (c == '\0') {
        // Every path and text the installer builds from the line ends there.
        Error(line.number, "the line holds a zero byte, which is not text");
        return;
      }
      if (IsUndefinedCp1252(uint8_t(c))) {
        char hex[8];
        snprintf(hex, sizeof hex, "0x%02X", unsigned(uint8_t(c)));
        Error(line.number, std::string("byte ") + hex + " is not a Windows-1252 character");
        return;
      }
    }
  }

  // A line that would be a section line but for letter case or trailing blanks.
  void CheckNearMiss(const ScriptLine& line) {
    WideString trimmed = line.text;
    while (!trimmed.IsEmpty() && (trimmed.CharAt(kLastPosition) == u' ' || trimmed.CharAt(kLastPosition) == u'\t')) {
      trimmed.RemoveLast(1);
    }
    for (int i = 0; i < DirectiveCount(); ++i) {
      WideString section(AllDirectives()[i].section);
      if (trimmed.Equals(section, true)) {
        Error(line.number, Quote(line.text) + " is not a section line; write " + Quote(section) +
                               " exactly (letter case, no trailing blanks)");
        return;
      }
    }
    // Anything else in square brackets was meant as a directive.
    const std::u16string& t = trimmed.Str();
    if (t.size() >= 3 && t.front() == u'[' && t.back() == u']') {
      static const std::vector<std::u16string> kSections = SectionNames();
      std::u16string nearest = NearestName(t, kSections);
      Unknown(line.number, "unknown directive " + Quote(line.text) +
                               (nearest.empty() ? std::string(", which the installer skips")
                                                : "; did you mean " + WideString(nearest).ToUtf8() + "?"));
    }
  }

  // Words in angle brackets of a value line that folder macros expand.
  void CheckMacros(const ScriptDirective& d) {
    static const std::vector<std::u16string> kMacros = MacroNames();
    for (size_t i = 0; i < d.values.size(); ++i) {
      MacroUse use = MacroUseOf(d, i);
      if (use == MacroUse::None) continue;
      const std::u16string& text = d.values[i].text.Str();
      for (size_t open = text.find(u'<'); open != std::u16string::npos; open = text.find(u'<', open + 1)) {
        size_t close = open + 1;
        while (close < text.size() && IsMacroWordChar(text[close])) ++close;
        if (close >= text.size() || text[close] != u'>' || close == open + 1) continue;
        std::u16string word = text.substr(open, close - open + 1);
        // The installer substitutes macros ignoring ASCII case.
        bool known = std::any_of(kMacros.begin(), kMacros.end(), [&](const std::u16string& m) {
          return WideString(m).Equals(WideString(word), true);
        });
        bool program = i == 0 && (d.Is(Directive::RunFile) || d.Is(Directive::RunAndWaitFile));
        if (known || (program && word == kTempInstallMacro)) continue;
        std::vector<std::u16string> candidates = kMacros;
        if (program) candidates.push_back(kTempInstallMacro);
        std::u16string nearest = NearestName(word, candidates);
        if (use == MacroUse::Text && nearest.empty()) continue;
        Unknown(d.values[i].number, "unknown folder macro " + Quote(WideString(word)) +
                                        (nearest.empty() ? std::string(", which stays in the path as it stands")
                                                         : "; did you mean " + WideString(nearest).ToUtf8() + "?"));
      }
    }
  }

  void CheckMember(const ScriptDirective& directive, const std::string& member, int line) {
    WideString section(directive.info->section);
    if (member.empty()) {
      Error(line, section.ToUtf8() + " names no payload member");
    } else if (member.size() > kMaxMemberNameBytes) {
      Error(line, "member name " + Quote(DecodeCp1252(member)) + " is longer than 254 bytes");
    } else if (lookup_ && !lookup_(member)) {
      Error(line, "member " + Quote(DecodeCp1252(member)) + " not found");
    }
  }

  void CheckDirective(const ScriptDirective& d) {
    WideString section(d.info->section);
    for (size_t i = 0; i < d.values.size(); ++i) {
      if (FindDirective(d.values[i].text) != nullptr) {
        Error(d.values[i].number, "value line " + std::to_string(i + 1) + " of " + section.ToUtf8() + " reads " +
                                      Quote(d.values[i].text) + ", which other readers take as a directive");
      }
    }
    if (!d.Complete()) {
      Error(d.line, "the script ends inside " + section.ToUtf8() + " (" + std::to_string(d.values.size()) + " of " +
                        std::to_string(d.info->valueLines) + " value lines)");
    }
    if (d.Is(Directive::CopyFile) && !d.values.empty()) {
      CheckMember(d, d.Value(0).bytes, d.Value(0).number);
    } else if (d.Is(Directive::Registry)) {
      if (d.values.size() >= 1 && !OneOf(d.Value(0).text, kRoots)) {
        Error(d.Value(0).number,
              "registry root " + Quote(d.Value(0).text) + " is not HKCR, HKCU, HKLM, HKCC, HKU or HKA");
      }
      if (d.values.size() >= 3 && !OneOf(d.Value(2).text, kTypes)) {
        Warning(d.Value(2).number,
                "registry type " + Quote(d.Value(2).text) + " is not STRING, DWORD or BINARY; it is written as a string");
      }
      if (d.values.size() >= 5 && d.Value(2).text == WideString(u"BINARY")) {
        CheckMember(d, d.Value(4).bytes, d.Value(4).number);
      }
    } else if (d.Is(Directive::RunFile) || d.Is(Directive::RunAndWaitFile)) {
      std::string member = TempInstallMember(d.Value(0));
      size_t marker = d.Value(0).bytes.find("<TempInstall>");
      if (!d.values.empty() && marker != std::string::npos) {
        if (marker != 0) {
          Warning(d.Value(0).number, "'<TempInstall>' does not start the program line; the member is taken from "
                                     "the 14th character on: " + Quote(DecodeCp1252(member)));
        }
        CheckMember(d, member, d.Value(0).number);
      }
    } else if (d.Is(Directive::Message) && d.values.size() >= 2) {
      if (!OneOf(d.Value(1).text, kMessageKinds)) {
        Warning(d.Value(1).number, "message kind " + Quote(d.Value(1).text) +
                                       " is not Warning, Information, Question, Error or QuestionYesNo");
      }
    } else if (d.Is(Directive::WindowsVersion) && !d.values.empty()) {
      const std::u16string& v = d.Value(0).text.Str();
      if (v.empty() || !std::all_of(v.begin(), v.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        Warning(d.Value(0).number, "Windows version " + Quote(d.Value(0).text) + " is not a number");
      }
    }
  }

  std::vector<LintFinding> Finish() {
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const LintFinding& a, const LintFinding& b) { return a.line < b.line; });
    return std::move(findings_);
  }

 private:
  const MemberLookup& lookup_;
  const LintOptions& options_;
  InstallScope scope_ = InstallScope::Machine;
  std::vector<LintFinding> findings_;
};

}  // namespace

bool IsWindowsFileName(const std::u16string& text) {
  if (text.empty() || text.size() > 255) return false;
  for (char16_t c : text) {
    if (c < 32 || std::u16string(u"<>:\"/\\|?*").find(c) != std::u16string::npos) return false;
  }
  if (text.back() == u'.' || text.back() == u' ') return false;
  // Device names, also with an extension.
  WideString base(text.substr(0, text.find(u'.')));
  base.TrimTrailingSpaces();
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL"}) {
    if (base.Equals(WideString(device), true)) return false;
  }
  if (base.Length() == 4 && (base.StartsWith(WideString(u"COM"), true) || base.StartsWith(WideString(u"LPT"), true)) &&
      base.CharAt(4) >= u'1' && base.CharAt(4) <= u'9') {
    return false;
  }
  return true;
}

std::vector<LintFinding> LintScript(const uint8_t* data, size_t size, const MemberLookup& lookup,
                                    const LintOptions& options) {
  Linter linter(lookup, options);
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    linter.Error(1, "the script starts with a UTF-8 byte-order mark; save it as Windows-1252 text");
  }
  ScriptScan scan = ScanScript(data, size);
  linter.ReadScope(scan);
  for (const ScriptLine& line : scan.otherLines) {
    linter.CheckBytes(line);
    linter.CheckNearMiss(line);
  }
  const ScriptDirective* projectName = nullptr;
  bool installTo = false;
  for (const ScriptDirective& d : scan.directives) {
    for (const ScriptLine& value : d.values) linter.CheckBytes(value);
    linter.CheckDirective(d);
    linter.CheckMacros(d);
    linter.CheckScope(d);
    if (scan.container && d.Is(Directive::CopyFile) && !d.values.empty()) {
      linter.Warning(d.line, "a container places no files: member " + Quote(d.Value(0).text) +
                                 " is packed and run as an installer like every other member");
    }
    if (d.Is(Directive::ProjectName)) projectName = &d;
    if (d.Is(Directive::InstallTo)) installTo = true;
  }
  if (!scan.container) {
    if (projectName == nullptr) linter.Error(1, "the script has no [Project Name]");
    if (!installTo) linter.Error(1, "the script has no [Install To]");
  }
  if (projectName != nullptr && projectName->Complete() && !IsWindowsFileName(projectName->Value(0).text.Str())) {
    linter.Error(projectName->Value(0).number,
                 "project name " + Quote(projectName->Value(0).text) + " cannot be a Windows file name");
  }
  return linter.Finish();
}

bool HasLintErrors(const std::vector<LintFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const LintFinding& f) { return f.severity == LintSeverity::Error; });
}
