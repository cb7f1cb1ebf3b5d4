// FromAnsi and ToAnsi with the machine's ANSI code page.
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

WideString WideString::FromAnsi(const char* text, int length) {
  if (text == nullptr) return WideString();
  int n = length < 0 ? lstrlenA(text) : length;
  if (n == 0) return WideString();
  int units = MultiByteToWideChar(CP_ACP, 0, text, n, nullptr, 0);
  if (units <= 0) return WideString();
  std::u16string out(static_cast<size_t>(units), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, n, reinterpret_cast<wchar_t*>(&out[0]), units);
  return WideString(std::move(out));
}

const char* WideString::ToAnsi() const {
  narrow_.clear();
  if (text_.empty()) return narrow_.c_str();
  const auto* wide = reinterpret_cast<const wchar_t*>(text_.data());
  int n = static_cast<int>(text_.size());
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide, n, nullptr, 0, nullptr, nullptr);
  if (bytes > 0) {
    narrow_.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, wide, n, &narrow_[0], bytes, nullptr, nullptr);
  }
  return narrow_.c_str();
}
