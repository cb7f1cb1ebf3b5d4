#pragma once
// The registry roots a journal names by number (journal_records.h).

#include <cstdint>

#include "rollback/journal_records.h"
#include "util/win/windows_api.h"

inline bool JournalRootNumber(HKEY root, uint32_t& number) {
  const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CURRENT_CONFIG, HKEY_USERS};
  for (uint32_t i = 0; i < 5; ++i) {
    if (roots[i] == root) {
      number = i;
      return true;
    }
  }
  return false;
}

// nullptr for a number that names no root.
inline HKEY JournalRootKey(uint32_t number) {
  const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CURRENT_CONFIG, HKEY_USERS};
  return number < 5 ? roots[number] : nullptr;
}
