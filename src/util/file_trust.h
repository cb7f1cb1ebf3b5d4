#pragma once
// The decisions of an elevated process about what it may touch on disk,
// as pure functions over paths and attributes (the Win32 half that acts on
// them is util/win/safe_files.h). Attribute values are Windows' own.

#include <cstdint>

#include "util/wide_string.h"

constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeReparsePoint = 0x400;

// A reparse point (junction, symbolic link, mount point) by either of the two
// views of it: the folder listing's entry and the opened handle. Windows
// shows the bit in both; some file systems only in the listing.
inline bool IsLink(uint32_t listedAttributes, uint32_t handleAttributes = 0) {
  return ((listedAttributes | handleAttributes) & kAttributeReparsePoint) != 0;
}

// What a tree removal does with one entry of a folder it empties.
enum class TreeEntryStep {
  RemoveLink,   // the link itself goes; what it points to is never entered
  Descend,      // a real folder: empty it, then remove it
  RemoveFile,
};
TreeEntryStep StepForEntry(uint32_t listedAttributes);

// path lies inside root (root itself excluded): the same leading
// components, compared case-insensitively, with a separator after root's
// last one, and no "." or ".." component in the part below root. Both are
// full paths; a "\\?\" prefix on either is ignored; trailing backslashes on
// root do not matter.
bool LiesUnder(const WideString& root, const WideString& path);

// Who may write a folder, from its access rules: true when any rule that
// allows writing (an allowed ACE with a write, append, delete-child, write
// DAC/owner or generic write/all right) names an account that is not one of
// the administrative ones (SYSTEM, Administrators, TrustedInstaller, the
// creator owner placeholder). Accounts are given as SID text ("S-1-5-18").
struct AccessRuleFacts {
  bool allow = true;
  uint32_t mask = 0;
  WideString sid;
};
bool NonAdministratorsCanWrite(const AccessRuleFacts* rules, int count);
