#pragma once
// Shortcut files (shell links). The calling thread must have initialised COM.

#include <cstdint>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

// Which optional fields of a ShortcutSpec are used.
enum ShortcutField : uint8_t {
  kShortcutDescription = 0x01,
  kShortcutArguments = 0x02,
  kShortcutIcon = 0x04,
  kShortcutWorkingFolder = 0x08,
  kShortcutHotKey = 0x10,
  kShortcutShowCommand = 0x20,
};

struct ShortcutSpec {
  WideString target;         // folder macros allowed
  uint8_t flags = 0;         // ShortcutField bits
  WideString description;    // used as is
  WideString arguments;      // folder macros allowed
  WideString iconPath;       // folder macros allowed
  int iconIndex = 0;
  WideString workingFolder;  // folder macros allowed
  int showCommand = SW_SHOWNORMAL;
  uint16_t hotKey = 0;       // IShellLinkW hot-key code
};

// Creates (or replaces) the shortcut file, making its folder first. Returns
// the HRESULT of the last shell call (a failure of CoCreateInstance as is).
HRESULT CreateShortcut(const WideString& shortcutPath, const ShortcutSpec& spec);

// target receives the path the shortcut points to (empty on failure).
// False when the file does not exist or the shell link cannot be made.
bool ResolveShortcut(const WideString& shortcutPath, WideString& target);
