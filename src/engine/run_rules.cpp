#include "engine/run_rules.h"

#include <cstring>

#include "util/path_text.h"

namespace {

char FoldByte(uint8_t c) { return static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c); }

bool ContainsFolded(const uint8_t* bytes, size_t count, const char* needle) {
  const size_t n = std::strlen(needle);
  if (n == 0 || count < n) return false;
  for (size_t i = 0; i + n <= count; ++i) {
    size_t k = 0;
    while (k < n && FoldByte(bytes[i + k]) == FoldByte(static_cast<uint8_t>(needle[k]))) ++k;
    if (k == n) return true;
  }
  return false;
}

}  // namespace

bool IsTempInstallProgram(const WideString& program) { return program.Find(WideString(u"<TempInstall>")) != 0; }

WideString TempInstallMember(const WideString& program) {
  WideString member = program.From(14);
  if (member.CharAt(1) == u'\\') member.RemoveAt(1);
  return member;
}

bool AsksForAdministrator(const uint8_t* bytes, size_t count) {
  return ContainsFolded(bytes, count, "level=requireAdministrator") ||
         ContainsFolded(bytes, count, "level=\"requireAdministrator\"");
}

bool RemoveRunElevatedMarker(WideString& parameters) {
  return parameters.Replace(WideString(u" -RUNELEVATED"), WideString(), false) > 0;
}

bool OpensAsDocument(const WideString& program, const WideString& parameters) {
  return !Extension(program).Equals(WideString(u".exe"), true) && parameters.IsEmpty();
}

WideString RunCommandLine(const WideString& program, const WideString& parameters) {
  // Quoted even alone: "D:\Apps\Plove Hello\tool.exe" unquoted would start
  // "D:\Apps\Plove.exe" when there is one. A program line that brings its
  // own quotes keeps them.
  const WideString quoted = program.StartsWith(WideString(u"\"")) ? program : u"\"" + program + u"\"";
  if (parameters.IsEmpty()) return quoted;
  return quoted + u" " + parameters;
}

namespace {

bool SeparatesWords(WChar c) { return c == u' ' || c == u'\t' || c == u'"' || c == u'='; }

}  // namespace

WideString ExpandParameterMacros(const WideString& parameters, TextExpander expand) {
  WideString result;
  WideString word;
  bool inMacroName = false;
  auto flushWord = [&]() {
    if (word.IsEmpty()) return;
    expand(word);
    result.Append(word);
    word.Clear();
  };
  for (int i = 1; i <= parameters.Length(); ++i) {
    const WChar c = parameters.CharAt(i);
    if (c == u'<') inMacroName = true;
    if (c == u'>') inMacroName = false;
    // "<Program Files>" and "<Start Programs>" hold a blank.
    if (SeparatesWords(c) && !(inMacroName && c == u' ')) {
      flushWord();
      result.AppendChar(c);
      inMacroName = false;
    } else {
      word.AppendChar(c);
    }
  }
  flushWord();
  return result;
}

WideString NumberedFileName(const WideString& name, int n) {
  if (n <= 1) return name;
  const WideString number = WideString::Format(u" (%d)", n);
  const int dot = name.FindLast(u'.');
  if (dot == 0) return name + number;
  return name.Left(dot - 1) + number + name.From(dot);
}
