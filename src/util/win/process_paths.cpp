#include "util/win/process_paths.h"

#include "util/command_line_text.h"
#include "util/win/windows_api.h"

WideString ModulePath() {
  wchar_t buffer[1000] = {};
  GetModuleFileNameW(nullptr, buffer, 1000);
  buffer[999] = 0;
  return UnquoteModulePath(WideString(buffer));
}

WideString CommandLineArguments() { return ArgumentsAfterProgram(WideString(GetCommandLineW())); }
