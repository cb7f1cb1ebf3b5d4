#include "wizard/wizard_rules.h"

#include "util/path_text.h"

namespace {

const WChar kWin64Marker[] = u"__PLI_WIN64";
const WChar kUnicodeMarker[] = u"__PLI_UNICODE";

// The figures are printed as the 32-bit integers they always were.
int32_t AsInt32(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// The text after the first occurrence of option; false when it is absent.
bool TextAfter(const WideString& commandLine, const WChar* option, WideString& rest) {
  const WideString name(option);
  const int at = commandLine.Find(name);
  if (at == 0) return false;
  rest = commandLine.From(at + name.Length());
  return true;
}

}  // namespace

WideString SpaceLine(uint64_t totalInstallSizeKb, uint64_t freeSpaceMb) {
  uint64_t required = totalInstallSizeKb / 1024;
  if (required < 1) required = 1;
  uint64_t free = freeSpaceMb;
  const WChar* unit = u"MB";
  if (freeSpaceMb > 4000) {
    const uint64_t freeGb = freeSpaceMb / 1024;
    if (freeGb > required) {
      free = freeGb;
      unit = u"GB";
    }
  }
  return WideString::Format(u"%d MB Required, %d %s Free", AsInt32(required), AsInt32(free), unit);
}

WideString ChosenInstallFolder(const WideString& chosenPath, const WideString& defaultInstallPath) {
  if (chosenPath.IsEmpty()) return WideString();
  WideString folder = chosenPath;
  AddBackslash(folder);
  WideString trimmed = defaultInstallPath;
  RemoveTrailingBackslashes(trimmed);
  WideString component = FileName(trimmed);
  if (component.StartsWith(WideString(u"<"))) {
    // A folder macro ends where its ">" is, as a backslash would end a
    // folder: "<Program Files>Tool" keeps "Tool", "<Program Files>" nothing.
    const int close = component.FindLast(u'>');
    component = close == 0 ? WideString() : component.From(close + 1);
  } else if (trimmed.FindChar(u'\\') == 0) {
    return folder;
  }
  if (component.IsEmpty()) return folder;
  folder.Append(component);
  folder.AppendChar(u'\\');
  return folder;
}

bool DestinationsWant64Bit(const StringList& destinations) {
  for (int i = 0; i < destinations.Count(); ++i) {
    WideString plain = destinations.Item(i);
    plain.Replace(WideString(kWin64Marker), WideString(), false);
    plain.Replace(WideString(kUnicodeMarker), WideString(), false);
    const WideString extension = Extension(plain);
    if (!extension.Equals(WideString(u".exe"), true) && !extension.Equals(WideString(u".dll"), true)) continue;
    const WideString twin = StripExtension(plain) + kWin64Marker + extension;
    if (!destinations.Contains(twin, true)) return false;
  }
  return true;
}

WideString InstallToOverride(const WideString& commandLine, const WideString& defaultPath) {
  WideString path = defaultPath;
  WideString rest;
  if (TextAfter(commandLine, u"<installto>", rest)) path = rest;
  const int quoted = commandLine.Find(u" \"--installto") + 1;
  if (quoted != 1 && quoted + 1 == commandLine.Find(u"--installto")) {
    // The whole argument quoted ("--installto=D:\My Apps\App"): the value
    // ends at the closing quote, and options after it stay options.
    rest = commandLine.From(quoted + 12);
    const int close = rest.FindChar(u'"');
    if (close != 0) rest = rest.Left(close - 1);
    rest.TrimLeadingSpaces();
    if (rest.StartsWith(WideString(u"="))) rest.RemoveAt(1);
    rest.TrimLeadingSpaces();
    rest.TrimTrailingSpaces();
    path = rest;
  } else if (TextAfter(commandLine, u"--installto", rest)) {
    // Blanks around the "=" and the quotes are what people type
    // (--installto "D:\Apps"); no folder starts or ends with one.
    rest.TrimLeadingSpaces();
    if (rest.StartsWith(WideString(u"="))) rest.RemoveAt(1);
    rest.TrimLeadingSpaces();
    rest.TrimTrailingSpaces();
    if (rest.StartsWith(WideString(u"\""))) rest.RemoveAt(1);
    if (rest.EndsWith(WideString(u"\""))) rest.RemoveLast(1);
    path = rest;
  }
  return path;
}

bool NamesInstallFolder(const WideString& commandLine) {
  return commandLine.Find(u"<installto>") != 0 || commandLine.Find(u"--installto") != 0;
}

bool IsFullFolderPath(const WideString& path) {
  const WChar first = path.CharAt(1);
  const bool letter = (first >= u'A' && first <= u'Z') || (first >= u'a' && first <= u'z');
  if (letter && path.CharAt(2) == u':' && path.CharAt(3) == u'\\') return true;
  const WChar server = path.CharAt(3);
  return first == u'\\' && path.CharAt(2) == u'\\' && server != 0 && server != u'\\';
}

WideString HeaderLine(const WideString& projectName, const WideString& programVersion) {
  if (programVersion.IsEmpty()) return projectName;
  return projectName + u" " + programVersion;
}

bool FinishOptionCaption(const WideString& caption, WideString& shown) {
  shown = caption;
  if (!shown.EndsWith(WideString(u"!"))) return true;
  shown.RemoveLast(1);
  return false;
}
