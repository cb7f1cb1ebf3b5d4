#include "container/win/bitness_inputs.h"

#include "container/force32_rule.h"
#include "script/directives.h"
#include "script/win/read_line.h"
#include "util/path_text.h"
#include "util/win/disk_file.h"
#include "util/win/file_system.h"
#include "util/win/registry.h"
#include "util/win/windows_api.h"

bool RightShiftHeld() {
  wchar_t value[8] = {};
  const DWORD length = GetEnvironmentVariableW(L"PLOVE_TEST_RIGHT_SHIFT", value, 8);
  if (length > 0 && length < 8) return value[0] == L'1' && value[1] == 0;
  return GetKeyState(VK_RSHIFT) < 0;
}

bool Force32BitConditionHolds(const WideString& scriptPath) {
  DiskFile file;
  if (!file.Open(scriptPath, GENERIC_READ, OPEN_EXISTING, false)) return false;
  LineReader script(file, false);
  const WideString message(Directive::Message);
  WideString line;
  while (script.Next(line)) {
    if (line != message) continue;
    WideString values[2];  // text, type
    script.NextValues(values, 2);
    WideString valueName;
    WideString relativePath;
    if (!SplitForce32BitCondition(values[0], valueName, relativePath)) continue;
    WideString folder = ReadRegistryString(HKEY_LOCAL_MACHINE, WideString(u"Software\\PloveInstall"), valueName);
    if (folder.IsEmpty()) continue;
    AddBackslash(folder);
    if (PathExists(folder + relativePath)) return true;
  }
  return false;
}
