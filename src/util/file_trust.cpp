#include "util/file_trust.h"

#include "util/path_text.h"

TreeEntryStep StepForEntry(uint32_t listedAttributes) {
  if (IsLink(listedAttributes)) return TreeEntryStep::RemoveLink;
  return (listedAttributes & kAttributeDirectory) != 0 ? TreeEntryStep::Descend : TreeEntryStep::RemoveFile;
}

namespace {

WideString WithoutLongPrefix(const WideString& path) {
  if (path.StartsWith(WideString(u"\\\\?\\UNC\\"), true)) return WideString(u"\\\\") + path.From(9);
  if (path.StartsWith(WideString(u"\\\\?\\"))) return path.From(5);
  return path;
}

bool IsDotComponent(const WideString& rest) {
  // Each component between separators.
  int start = 1;
  const int length = rest.Length();
  while (start <= length) {
    int end = rest.FindChar(u'\\', start);
    if (end == 0) end = length + 1;
    const WideString part = rest.Mid(start, end - 1);
    if (part == WideString(u".") || part == WideString(u"..")) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool LiesUnder(const WideString& root, const WideString& path) {
  WideString base = WithoutLongPrefix(root);
  RemoveTrailingBackslashes(base);
  const WideString full = WithoutLongPrefix(path);
  if (base.IsEmpty() || full.Length() <= base.Length() + 1) return false;
  if (!full.StartsWith(base, true) || full.CharAt(base.Length() + 1) != u'\\') return false;
  WideString rest = full.From(base.Length() + 2);
  RemoveTrailingBackslashes(rest);
  if (rest.IsEmpty() || rest.CharAt(1) == u'\\') return false;
  return !IsDotComponent(rest);
}

namespace {

constexpr uint32_t kWriteRights = 0x00000002 /* write data / add file */ | 0x00000004 /* append / add folder */ |
                                  0x00000040 /* delete child */ | 0x00010000 /* delete */ |
                                  0x00040000 /* write DAC */ | 0x00080000 /* write owner */ |
                                  0x40000000 /* generic write */ | 0x10000000 /* generic all */;

bool IsAdministrativeAccount(const WideString& sid) {
  static const WChar* const kAdministrative[] = {
      u"S-1-5-18",      // SYSTEM
      u"S-1-5-32-544",  // Administrators
      u"S-1-3-0",       // the creator owner placeholder of inherited rules
      u"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
  };
  for (const WChar* known : kAdministrative) {
    if (sid.Compare(WideString(known), true) == 0) return true;
  }
  return false;
}

}  // namespace

bool NonAdministratorsCanWrite(const AccessRuleFacts* rules, int count) {
  for (int i = 0; i < count; ++i) {
    if (rules[i].allow && (rules[i].mask & kWriteRights) != 0 && !IsAdministrativeAccount(rules[i].sid)) return true;
  }
  return false;
}
