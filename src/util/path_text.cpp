#include "util/path_text.h"

#include <string>
#include <vector>

WideString Extension(const WideString& path) {
  int dot = path.FindLast(u'.');
  if (dot == 0 || dot < path.FindLast(u'\\')) return WideString(u".");
  return path.From(dot);
}

WideString StripExtension(const WideString& path) {
  int dot = path.FindLast(u'.');
  return dot == 0 ? path : path.Left(dot - 1);
}

WideString FileName(const WideString& path) {
  int slash = path.FindLast(u'\\');
  return slash == 0 ? path : path.From(slash + 1);
}

WideString BaseName(const WideString& path) { return StripExtension(FileName(path)); }

WideString ParentFolder(const WideString& path) {
  int slash = path.FindLast(u'\\');
  return slash == 0 ? path : path.Left(slash);
}

void AddBackslash(WideString& path) {
  if (path.CharAt(kLastPosition) != u'\\') path.AppendChar(u'\\');
}

void RemoveTrailingBackslashes(WideString& path) {
  while (path.CharAt(kLastPosition) == u'\\') path.RemoveLast(1);
}

namespace {

// What Windows makes of a drive path before it opens it, which a "\\?\"
// path skips: doubled separators and "." segments go, ".." takes the
// segment before it, a segment's single closing period goes, and the last
// segment loses its closing periods and blanks.
WideString NormalisedDrivePath(const WideString& path) {
  const std::u16string& text = path.Str();
  if (text.size() < 3 || text[1] != u':' || text[2] != u'\\') return path;
  std::vector<std::u16string> segments;
  size_t at = 3;
  const bool closingSeparator = text.back() == u'\\';
  while (at <= text.size()) {
    size_t end = text.find(u'\\', at);
    if (end == std::u16string::npos) end = text.size();
    std::u16string segment = text.substr(at, end - at);
    const bool last = end == text.size();
    at = end + 1;
    if (segment.empty() || segment == u".") continue;
    if (segment == u"..") {
      if (!segments.empty()) segments.pop_back();
      continue;
    }
    if (last && !closingSeparator) {
      while (!segment.empty() && (segment.back() == u'.' || segment.back() == u' ')) segment.pop_back();
    } else if (segment.size() >= 2 && segment.back() == u'.' && segment[segment.size() - 2] != u'.') {
      segment.pop_back();
    }
    if (!segment.empty()) segments.push_back(segment);
  }
  std::u16string out = text.substr(0, 3);
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) out += u'\\';
    out += segments[i];
  }
  if (closingSeparator && !segments.empty()) out += u'\\';
  return WideString(std::move(out));
}

}  // namespace

WideString LongPathForm(const WideString& path, int limit) {
  if (path.StartsWith(WideString(u"\\\\")) || path.Length() < limit) return path;
  // The same file as the plain path names, whichever limit a caller uses.
  return WideString(u"\\\\?\\") + NormalisedDrivePath(path);
}

namespace {

// Length of the root of a folder path: up to and including the first "\" at
// or after position 7 for "\\?\" paths, after the server name for other
// "\\" paths, and otherwise at or after position 3. The whole path when there
// is no such separator.
int FolderRootLength(const WideString& path) {
  int from = path.StartsWith(WideString(u"\\\\?\\")) ? 7 : 3;
  int slash = path.FindChar(u'\\', from);
  return slash == 0 ? path.Length() : slash;
}

}  // namespace

void FolderTreeLevels(const WideString& path, StringList& levels) {
  levels.Clear();
  const int rootLength = FolderRootLength(path);
  // Split from the end: drop trailing separators, cut off the last component.
  StringList components;
  WideString rest = path;
  for (;;) {
    RemoveTrailingBackslashes(rest);
    if (rest.Length() <= rootLength) break;
    int slash = rest.FindLast(u'\\');
    if (slash < rootLength) slash = rootLength;
    components.InsertAt(0, rest.From(slash + 1));
    rest.Truncate(slash);
  }
  // Rebuild from the root outwards with one separator between components.
  WideString level = path.Left(rootLength);
  for (int i = 0; i < components.Count(); ++i) {
    if (i > 0) level.AppendChar(u'\\');
    level.Append(components.Item(i));
    levels.Add(level, 0);
  }
}
