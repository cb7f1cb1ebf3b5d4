#pragma once
// WideString: the program's text type. UTF-16 code units, 1-based positions,
// ASCII-only case folding, and a free integer tag that travels with copies.
//
// Positions: 1 is the first character; 0 means "not found" or "none". Where a
// function says so, kLastPosition (-12345) means the last character (reading,
// removal) or the end (insertion).

#include <cstdint>
#include <string>
#include <utility>

using WChar = char16_t;

constexpr int kLastPosition = -12345;

class FormatArg;

class WideString {
 public:
  WideString() = default;
  WideString(const WChar* text);  // NOLINT: implicit from literals is the point
  WideString(const WChar* text, int length);
  explicit WideString(std::u16string text) : text_(std::move(text)) {}
#ifdef _WIN32
  WideString(const wchar_t* text);  // NOLINT
  WideString(const wchar_t* text, int length);
  const wchar_t* W() const { return reinterpret_cast<const wchar_t*>(text_.c_str()); }
#endif
  WideString(const WideString& other) : text_(other.text_), tag_(other.tag_) {}
  WideString(WideString&& other) noexcept : text_(std::move(other.text_)), tag_(other.tag_) {}
  WideString& operator=(const WideString& other);
  WideString& operator=(WideString&& other) noexcept;
  ~WideString() = default;

  // Conversions. FromAnsi uses the machine's ANSI code page (Windows-1252 in
  // the host build); a negative length means NUL-terminated.
  static WideString FromAnsi(const char* text, int length = -1);
  static WideString FromUtf8(const char* text, int length = -1);
  static WideString FromInt(int64_t value);
  static WideString FromUnsigned(uint64_t value);
  // The text in the ANSI code page; the pointer stays valid until the next
  // ToAnsi call on this string or its destruction.
  const char* ToAnsi() const;
  std::string ToUtf8() const;

  const WChar* Text() const { return text_.c_str(); }
  const std::u16string& Str() const { return text_; }
  int Length() const { return static_cast<int>(text_.size()); }
  // Code units including the terminating NUL: 1 for an empty string.
  int Size() const { return Length() + 1; }
  bool IsEmpty() const { return text_.empty(); }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  void Clear() { text_.clear(); }
  void Append(const WideString& text) { text_ += text.text_; }
  void Append(const WChar* text);
  void AppendChar(WChar c) { text_ += c; }
  // Inserts before the character at position; beyond the end or
  // kLastPosition appends.
  void Insert(const WideString& text, int position);
  void InsertChar(WChar c, int position);
  // Returns the removed character, 0 when the position is out of range.
  WChar RemoveAt(int position);
  void RemoveRange(int first, int last);  // inclusive; last may be kLastPosition
  void RemoveLast(int n);
  void Truncate(int n);  // keeps the first n characters
  void PadTo(int n);     // appends spaces up to n characters
  WChar CharAt(int position) const;  // 0 when out of range

  WideString Mid(int first, int last) const;  // inclusive, clamped
  WideString Left(int n) const;
  WideString Right(int n) const;
  WideString From(int position) const;

  int Find(const WideString& needle, int start = 1) const;  // case-sensitive
  int FindChar(WChar c, int start = 1) const;
  int FindLast(WChar c) const;

  // 0 when equal, otherwise -1 or 1 by the first differing unit. ignoreCase
  // folds only A-Z.
  int Compare(const WideString& other, bool ignoreCase) const;
  bool Equals(const WideString& other, bool ignoreCase = false) const {
    return Compare(other, ignoreCase) == 0;
  }
  bool StartsWith(const WideString& prefix, bool ignoreCase = false) const;
  bool EndsWith(const WideString& suffix, bool ignoreCase = false) const;
  void ToUpperAscii();
  void ToLowerAscii();

  // Replaces every occurrence; the search resumes behind each inserted
  // replacement, so a replacement containing the searched text cannot loop.
  // Returns the number of replacements.
  int Replace(const WideString& find, const WideString& replacement, bool ignoreCase);
  void TrimLeadingSpaces();   // U+0020 only
  void TrimTrailingSpaces();  // U+0020 only

  // Leading spaces skipped, an optional sign as the first character, then
  // decimal digits; the first other character ends the number. No digits: 0.
  int64_t ParseInteger() const;

  static WideString Hex16(uint64_t value);  // exactly 16 upper-case digits
  static WideString Hex(uint64_t value);    // upper-case, no leading zeros

  // printf-style formatting with type-checked arguments: %s takes a
  // WideString or a wide C string, %d/%i/%u/%x/%X integers, %f/%g/%e
  // floating point, %c a character; flags, width and precision as printf.
  template <typename... Args>
  static WideString Format(const WChar* format, const Args&... args);
  template <typename... Args>
  WideString& AssignFormat(const WChar* format, const Args&... args) {
    *this = Format(format, args...);
    return *this;
  }

  bool operator==(const WideString& other) const { return text_ == other.text_; }
  bool operator!=(const WideString& other) const { return text_ != other.text_; }
  WideString operator+(const WideString& other) const;
  WideString& operator+=(const WideString& other) {
    Append(other);
    return *this;
  }
  WideString& operator+=(WChar c) {
    AppendChar(c);
    return *this;
  }

 private:
  std::u16string text_;
  int tag_ = 0;
  mutable std::string narrow_;
};

WideString operator+(const WChar* left, const WideString& right);

// ASCII-only folding of one unit.
inline WChar FoldAsciiLower(WChar c) { return (c >= u'A' && c <= u'Z') ? WChar(c + 32) : c; }

#include "util/format.h"
