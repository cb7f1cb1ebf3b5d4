#pragma once
// A path as a key of hashed sets and maps: paths compare ignoring the case
// of the ASCII letters, so the key is the path with those folded.

#include <string>

#include "util/wide_string.h"

inline std::u16string PathKey(const WideString& path) {
  std::u16string key = path.Str();
  for (char16_t& c : key) c = FoldAsciiLower(c);
  return key;
}
