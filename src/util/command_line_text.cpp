#include "util/command_line_text.h"

WideString ArgumentsAfterProgram(const WideString& commandLine) {
  WideString rest;
  if (commandLine.CharAt(1) == u'"') {
    int close = commandLine.FindChar(u'"', 2);
    rest = close == 0 ? WideString() : commandLine.From(close + 1);
  } else {
    int space = commandLine.FindChar(u' ');
    rest = space == 0 ? WideString() : commandLine.From(space + 1);
  }
  rest.TrimLeadingSpaces();
  rest.TrimTrailingSpaces();
  return rest;
}

WideString UnquoteModulePath(const WideString& path) {
  if (path.CharAt(1) != u'"') return path;
  WideString rest = path.From(2);
  int quote = rest.FindChar(u'"');
  return quote == 0 ? rest : rest.Left(quote - 1);
}
