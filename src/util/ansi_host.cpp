// The host build's ANSI code page is Windows-1252.
#include "util/cp1252.h"
#include "util/wide_string.h"

#include <cstring>

WideString WideString::FromAnsi(const char* text, int length) {
  WideString result;
  if (text == nullptr) return result;
  size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  for (size_t i = 0; i < n; ++i) result.AppendChar(Cp1252ToUnit(static_cast<uint8_t>(text[i])));
  return result;
}

const char* WideString::ToAnsi() const {
  narrow_.clear();
  for (WChar c : text_) {
    uint8_t byte;
    narrow_ += UnitToCp1252(c, &byte) ? static_cast<char>(byte) : '?';
  }
  return narrow_.c_str();
}
