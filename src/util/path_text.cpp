#include "util/path_text.h"

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

WideString LongPathForm(const WideString& path, int limit) {
  if (path.StartsWith(WideString(u"\\\\")) || path.Length() < limit) return path;
  return WideString(u"\\\\?\\") + path;
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
