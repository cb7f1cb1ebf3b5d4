#include "app/options.h"

namespace {

bool IsNameEnd(WChar c) { return c == 0 || c == u'"' || c == u'=' || c == u' '; }

// The position after the program part: after its closing quote, or after
// the first space when it is not quoted.
int ArgumentsStart(const WideString& commandLine) {
  const int length = commandLine.Length();
  if (commandLine.CharAt(1) == u'"') {
    const int close = commandLine.FindChar(u'"', 2);
    return close == 0 ? length + 1 : close + 1;
  }
  const int space = commandLine.FindChar(u' ');
  return space == 0 ? length + 1 : space + 1;
}

// Where the first option that takes the rest of the line starts; beyond the
// end when there is none.
int RestOfLineStart(const WideString& commandLine, int from) {
  static const WChar* const kMarkers[] = {u"<uninstall>", u"--uninstall=", u"<installto>", u"--installto"};
  int first = commandLine.Length() + 1;
  for (const WChar* marker : kMarkers) {
    int at = commandLine.Find(WideString(marker), from);
    // A whole quoted argument ("--installto=D:\My Apps") ends at its quote.
    while (at > 2 && commandLine.CharAt(at - 1) == u'"' && commandLine.CharAt(at - 2) == u' ') {
      at = commandLine.Find(WideString(marker), at + 1);
    }
    if (at != 0 && at < first) first = at;
  }
  return first;
}

// The position after the argument that starts at position: its end is the
// first space outside double quotes.
int ArgumentEnd(const WideString& commandLine, int position) {
  const int length = commandLine.Length();
  bool quoted = false;
  for (; position <= length; ++position) {
    const WChar c = commandLine.CharAt(position);
    if (c == u'"') quoted = !quoted;
    if (c == u' ' && !quoted) break;
  }
  return position;
}

}  // namespace

OptionList ParseOptions(const WideString& commandLine) {
  OptionList list;
  const int length = commandLine.Length();
  int position = 1;
  if (commandLine.CharAt(1) == u'"') {
    int close = commandLine.FindChar(u'"', 2);
    position = close == 0 ? length + 1 : close + 1;
  }
  while (position <= length) {
    int dash = commandLine.FindChar(u'-', position);
    if (dash == 0) break;
    int start = dash + 1;
    if (commandLine.CharAt(start) == u'-') ++start;
    int end = start;
    while (end <= length && !IsNameEnd(commandLine.CharAt(end))) ++end;
    if (end == start) {
      position = start;
      continue;
    }
    WideString name = commandLine.Mid(start, end - 1);
    position = end;
    while (commandLine.CharAt(position) == u' ' || commandLine.CharAt(position) == u'=') ++position;
    WideString value;
    const WChar next = commandLine.CharAt(position);
    if (next != 0 && next != u'-') {
      if (next == u'"') {
        int close = commandLine.FindChar(u'"', position + 1);
        int last = close == 0 ? length : close - 1;
        value = commandLine.Mid(position + 1, last);
        position = close == 0 ? length + 1 : close + 1;
      } else {
        int space = commandLine.FindChar(u' ', position);
        int last = space == 0 ? length : space - 1;
        value = commandLine.Mid(position, last);
        position = last + 1;
      }
    }
    list.names.Add(name);
    list.values.Add(value);
  }
  return list;
}

int FindOption(const OptionList& list, const WideString& name) {
  for (int i = 0; i < list.names.Count(); ++i) {
    if (list.names.Item(i).Equals(name, true)) return i;
  }
  return -1;
}

bool HasSilentOption(const WideString& commandLine) {
  return commandLine.Find(u"<Silent>") != 0 || commandLine.Find(u"--silent") != 0;
}

bool HasNoAutoRebootOption(const WideString& commandLine) { return commandLine.Find(u"--noautoreboot") != 0; }

bool HasUninstallOption(const WideString& commandLine) {
  return commandLine.Find(u"<uninstall>") != 0 || commandLine.Find(u"--uninstall=") != 0;
}

bool HasForce32BitOption(const WideString& commandLine) { return commandLine.Find(u"--force32bit") != 0; }

bool HasAllUsersOption(const WideString& commandLine) { return commandLine.Find(u"--allusers") != 0; }

bool HasCurrentUserOption(const WideString& commandLine) { return commandLine.Find(u"--currentuser") != 0; }

namespace {

// Where the log option stands: its first and last character, and its value.
struct LogOptionSpan {
  int first = 0;
  int last = 0;
  WideString value;
};

bool LocateLogOption(const WideString& commandLine, LogOptionSpan* span) {
  static const WideString kOption(u"--log=");
  const int length = commandLine.Length();
  const int arguments = ArgumentsStart(commandLine);
  const int restOfLine = RestOfLineStart(commandLine, arguments);
  int position = arguments;
  for (;;) {
    while (commandLine.CharAt(position) == u' ') ++position;
    if (position > length || position >= restOfLine) return false;
    if (commandLine.Mid(position, position + kOption.Length() - 1) == kOption) break;
    // The whole argument quoted, as programs that start others with an
    // argument list write one that holds a blank: "--log=C:\a b.log".
    if (commandLine.CharAt(position) == u'"' && commandLine.Mid(position + 1, position + kOption.Length()) == kOption) {
      break;
    }
    position = ArgumentEnd(commandLine, position);
  }
  span->first = position;
  const bool wholeQuoted = commandLine.CharAt(position) == u'"';
  const int valueStart = position + kOption.Length() + (wholeQuoted ? 1 : 0);
  if (wholeQuoted) {
    const int close = commandLine.FindChar(u'"', valueStart);
    span->last = close == 0 ? length : close;
    span->value = commandLine.Mid(valueStart, close == 0 ? length : close - 1);
  } else if (commandLine.CharAt(valueStart) == u'"') {
    const int close = commandLine.FindChar(u'"', valueStart + 1);
    span->last = close == 0 ? length : close;
    span->value = commandLine.Mid(valueStart + 1, close == 0 ? length : close - 1);
  } else {
    const int space = commandLine.FindChar(u' ', valueStart);
    span->last = space == 0 ? length : space - 1;
    span->value = commandLine.Mid(valueStart, span->last);
  }
  return true;
}

}  // namespace

LogOptionSplit SplitLogOption(const WideString& commandLine) {
  LogOptionSplit split;
  split.commandLine = commandLine;
  LogOptionSpan span;
  if (!LocateLogOption(commandLine, &span)) return split;
  split.found = true;
  split.logPath = span.value;
  // One space goes with the option: the one before it, else the one after.
  int first = span.first;
  int last = span.last;
  if (commandLine.CharAt(first - 1) == u' ') {
    --first;
  } else if (commandLine.CharAt(last + 1) == u' ') {
    ++last;
  }
  split.commandLine.RemoveRange(first, last);
  return split;
}

WideString ReplaceLogPath(const WideString& commandLine, const WideString& path) {
  LogOptionSpan span;
  if (!LocateLogOption(commandLine, &span)) return commandLine;
  WideString replaced = commandLine;
  replaced.RemoveRange(span.first, span.last);
  replaced.Insert(u"--log=\"" + path + u"\"", span.first);
  return replaced;
}

WideString LogParameter(const WideString& path) {
  if (path.IsEmpty()) return WideString();
  return u" --log=\"" + path + u"\"";
}
