#pragma once
// The formatter behind WideString::Format. Arguments are captured with their
// types, so a mismatched conversion prints something sensible instead of
// reading the wrong bytes off the stack.

#include <cstdint>
#include <type_traits>

#include "util/wide_string.h"

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Float, Text, Char };

  FormatArg(const WideString& text) : kind_(Kind::Text), text_(text.Text()) {}  // NOLINT
  FormatArg(const WChar* text) : kind_(Kind::Text), text_(text ? text : u"(null)") {}  // NOLINT
  FormatArg(WChar* text) : FormatArg(static_cast<const WChar*>(text)) {}  // NOLINT
#ifdef _WIN32
  FormatArg(const wchar_t* text) : FormatArg(reinterpret_cast<const WChar*>(text)) {}  // NOLINT
  FormatArg(wchar_t* text) : FormatArg(reinterpret_cast<const WChar*>(text)) {}  // NOLINT
#endif
  FormatArg(WChar c) : kind_(Kind::Char), unsigned_(c) {}  // NOLINT
  FormatArg(char c) : kind_(Kind::Char), unsigned_(static_cast<unsigned char>(c)) {}  // NOLINT
  FormatArg(bool b) : kind_(Kind::Signed), signed_(b ? 1 : 0) {}  // NOLINT
  template <typename T, typename std::enable_if<std::is_integral<T>::value && std::is_signed<T>::value,
                                                int>::type = 0>
  FormatArg(T value) : kind_(Kind::Signed), signed_(value) {}  // NOLINT
  template <typename T, typename std::enable_if<std::is_integral<T>::value && !std::is_signed<T>::value,
                                                int>::type = 0>
  FormatArg(T value) : kind_(Kind::Unsigned), unsigned_(value) {}  // NOLINT
  template <typename T, typename std::enable_if<std::is_enum<T>::value, int>::type = 0>
  FormatArg(T value) : kind_(Kind::Signed), signed_(static_cast<int64_t>(value)) {}  // NOLINT
  FormatArg(double value) : kind_(Kind::Float), float_(value) {}  // NOLINT
  FormatArg(const void* pointer)  // NOLINT
      : kind_(Kind::Unsigned), unsigned_(reinterpret_cast<uintptr_t>(pointer)) {}

  Kind kind() const { return kind_; }
  int64_t AsSigned() const;
  uint64_t AsUnsigned() const;
  double AsFloat() const;
  const WChar* AsText() const { return kind_ == Kind::Text ? text_ : nullptr; }

 private:
  Kind kind_;
  union {
    int64_t signed_;
    uint64_t unsigned_;
    double float_;
    const WChar* text_;
  };
};

// Formats into a new string; arguments beyond the list print as empty/zero.
WideString FormatWide(const WChar* format, const FormatArg* args, int count);

template <typename... Args>
WideString WideString::Format(const WChar* format, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return FormatWide(format, nullptr, 0);
  } else {
    const FormatArg list[] = {FormatArg(args)...};
    return FormatWide(format, list, static_cast<int>(sizeof...(Args)));
  }
}
