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
  const int position = at + name.Length();
  // The quote that opens the whole argument stands after a blank.
  if (at > 2 && commandLine.CharAt(at - 1) == u'"' && commandLine.CharAt(at - 2) == u' ' &&
      commandLine.CharAt(position) != u'"') {
    RecordArgumentSpan span;
    const int close = commandLine.FindChar(u'"', position);
    span.first = position;
    span.last = close == 0 ? commandLine.Length() : close;
    span.openingQuote = at - 1;
    span.value = commandLine.Mid(position, close == 0 ? commandLine.Length() : close - 1);
    return span;
  }
  return ValueAt(commandLine, position);
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
  // A whole quoted argument becomes the usual form: the option, then the
  // path in quotes.
  const WideString before = span.openingQuote != 0
                                ? commandLine.Left(span.openingQuote - 1) + commandLine.Mid(span.openingQuote + 1, span.first - 1)
                                : commandLine.Left(span.first - 1);
  return before + u"\"" + path + u"\"" + commandLine.From(span.last + 1);
}
