#include "engine/variant_rules.h"

#include "util/path_text.h"

namespace {

const WChar kWin64Marker[] = u"__PLI_WIN64";
const WChar kUnicodeMarker[] = u"__PLI_UNICODE";

// Removes every occurrence (case-sensitive); true when there was one.
bool RemoveMarker(WideString& text, const WChar* marker) {
  return text.Replace(WideString(marker), WideString(), false) > 0;
}

}  // namespace

bool AcceptVariantFor(WideString& destination, const StringList& copyTargets, bool is64BitWindows) {
  if (RemoveMarker(destination, kWin64Marker)) return is64BitWindows;

  const bool unicode = RemoveMarker(destination, kUnicodeMarker);
  const WideString stem = StripExtension(destination);
  const WideString extension = Extension(destination);
  StringList twins;
  if (is64BitWindows) twins.Add(stem + kWin64Marker + extension);
  if (!unicode) twins.Add(stem + kUnicodeMarker + extension);

  for (int i = 0; i < twins.Count(); ++i) {
    if (copyTargets.Contains(twins.Item(i), true)) return false;
  }
  return true;
}

bool HasVariantMarker(const WideString& destination) {
  WideString folded = destination;
  folded.ToLowerAscii();
  return folded.Find(WideString(u"__pli_win64")) > 0 || folded.Find(WideString(u"__pli_unicode")) > 0;
}
