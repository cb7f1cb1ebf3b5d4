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
