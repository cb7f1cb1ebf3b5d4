#include "app/options.h"

namespace {

bool IsNameEnd(WChar c) { return c == 0 || c == u'"' || c == u'=' || c == u' '; }

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
