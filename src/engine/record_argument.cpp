#include "engine/record_argument.h"

namespace {

// The value that starts at position (just after the option's name).
RecordArgumentSpan ValueAt(const WideString& commandLine, int position) {
  RecordArgumentSpan span;
  const int length = commandLine.Length();
  span.first = position;
  if (commandLine.CharAt(position) == u'"') {
    const int close = commandLine.FindChar(u'"', position + 1);
    span.last = close == 0 ? length : close;
    span.value = commandLine.Mid(position + 1, close == 0 ? length : close - 1);
  } else {
    const int blank = commandLine.FindChar(u' ', position);
    span.last = blank == 0 ? length : blank - 1;
    span.value = commandLine.Mid(position, span.last);
  }
  return span;
}

RecordArgumentSpan ValueOf(const WideString& commandLine, const WChar* option) {
  const WideString name(option);
  const int at = commandLine.Find(name);
  if (at == 0) return RecordArgumentSpan();
  return ValueAt(commandLine, at + name.Length());
}

}  // namespace

RecordArgumentSpan LocateRecordArgument(const WideString& commandLine) {
  RecordArgumentSpan span = ValueOf(commandLine, u"<uninstall>");
  if (span.value.IsEmpty()) span = ValueOf(commandLine, u"--uninstall=");
  if (span.value.IsEmpty()) return RecordArgumentSpan();
  return span;
}

WideString RecordArgument(const WideString& commandLine) { return LocateRecordArgument(commandLine).value; }

WideString ReplaceRecordArgument(const WideString& commandLine, const WideString& path) {
  const RecordArgumentSpan span = LocateRecordArgument(commandLine);
  if (span.first == 0) return commandLine;
  return commandLine.Left(span.first - 1) + u"\"" + path + u"\"" + commandLine.From(span.last + 1);
}
