#include "util/wide_string.h"

#include <algorithm>

namespace {

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

size_t UnitLength(const WChar* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

bool UnitsEqual(WChar a, WChar b, bool ignoreCase) {
  return ignoreCase ? FoldAsciiLower(a) == FoldAsciiLower(b) : a == b;
}

}  // namespace

WideString::WideString(const WChar* text) {
  if (text != nullptr) text_.assign(text, UnitLength(text));
}

WideString::WideString(const WChar* text, int length) {
  if (text != nullptr && length > 0) text_.assign(text, static_cast<size_t>(length));
}

#ifdef _WIN32
WideString::WideString(const wchar_t* text) : WideString(reinterpret_cast<const WChar*>(text)) {}
WideString::WideString(const wchar_t* text, int length)
    : WideString(reinterpret_cast<const WChar*>(text), length) {}
#endif

WideString& WideString::operator=(const WideString& other) {
  if (this != &other) {
    text_ = other.text_;
    tag_ = other.tag_;
  }
  return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept {
  text_ = std::move(other.text_);
  tag_ = other.tag_;
  return *this;
}

WideString WideString::FromInt(int64_t value) {
  // Built from the magnitude as unsigned, so INT64_MIN does not overflow.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  WideString result = FromUnsigned(magnitude);
  if (value < 0) result.InsertChar(u'-', 1);
  return result;
}

WideString WideString::FromUnsigned(uint64_t value) {
  WChar digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<WChar>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::u16string text(digits, digits + n);
  std::reverse(text.begin(), text.end());
  return WideString(std::move(text));
}

WideString WideString::FromUtf8(const char* text, int length) {
  WideString result;
  if (text == nullptr) return result;
  size_t n = length < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(length);
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < n) {
    uint32_t c = p[i];
    size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 99;
    bool ok = extra != 99 && i + extra < n;
    if (ok && extra > 0) {
      c &= (0x3Fu >> extra);
      for (size_t k = 1; ok && k <= extra; ++k) {
        ok = (p[i + k] & 0xC0) == 0x80;
        c = (c << 6) | (p[i + k] & 0x3F);
      }
    }
    if (!ok || c > 0x10FFFF) {
      result.text_ += u'\xFFFD';  // an invalid sequence costs one byte
      ++i;
      continue;
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      result.text_ += static_cast<WChar>(0xD800 + (c >> 10));
      result.text_ += static_cast<WChar>(0xDC00 + (c & 0x3FF));
    } else {
      result.text_ += static_cast<WChar>(c);
    }
  }
  return result;
}

std::string WideString::ToUtf8() const {
  std::string out;
  for (size_t i = 0; i < text_.size(); ++i) {
    uint32_t c = text_[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text_.size() && text_[i + 1] >= 0xDC00 &&
        text_[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text_[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void WideString::Append(const WChar* text) {
  if (text != nullptr) text_.append(text, UnitLength(text));
}

void WideString::Insert(const WideString& text, int position) {
  if (position == kLastPosition || position > Length() || position < 1) {
    if (position < 1 && position != kLastPosition) {
      text_.insert(0, text.text_);
      return;
    }
    text_ += text.text_;
    return;
  }
  text_.insert(static_cast<size_t>(position - 1), text.text_);
}

void WideString::InsertChar(WChar c, int position) { Insert(WideString(std::u16string(1, c)), position); }

WChar WideString::RemoveAt(int position) {
  if (position == kLastPosition) position = Length();
  if (position < 1 || position > Length()) return 0;
  WChar c = text_[static_cast<size_t>(position - 1)];
  text_.erase(static_cast<size_t>(position - 1), 1);
  return c;
}

void WideString::RemoveRange(int first, int last) {
  if (last == kLastPosition) last = Length();
  first = std::max(first, 1);
  last = std::min(last, Length());
  if (first > last) return;
  text_.erase(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

void WideString::RemoveLast(int n) {
  if (n <= 0) return;
  Truncate(std::max(0, Length() - n));
}

void WideString::Truncate(int n) {
  if (n < 0) n = 0;
  if (n < Length()) text_.resize(static_cast<size_t>(n));
}

void WideString::PadTo(int n) {
  if (n > Length()) text_.append(static_cast<size_t>(n - Length()), u' ');
}

WChar WideString::CharAt(int position) const {
  if (position == kLastPosition) position = Length();
  if (position < 1 || position > Length()) return 0;
  return text_[static_cast<size_t>(position - 1)];
}

WideString WideString::Mid(int first, int last) const {
  if (last == kLastPosition) last = Length();
  first = Clamp(first, 1, Length() + 1);
  last = std::min(last, Length());
  if (first > last) return WideString();
  return WideString(text_.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1)));
}

WideString WideString::Left(int n) const { return Mid(1, n); }

WideString WideString::Right(int n) const {
  if (n <= 0) return WideString();
  return Mid(Length() - n + 1, Length());
}

WideString WideString::From(int position) const { return Mid(position, Length()); }

int WideString::Find(const WideString& needle, int start) const {
  if (start < 1) start = 1;
  if (needle.IsEmpty() || start > Length()) return 0;
  size_t at = text_.find(needle.text_, static_cast<size_t>(start - 1));
  return at == std::u16string::npos ? 0 : static_cast<int>(at) + 1;
}

int WideString::FindChar(WChar c, int start) const {
  if (start < 1) start = 1;
  if (start > Length()) return 0;
  size_t at = text_.find(c, static_cast<size_t>(start - 1));
  return at == std::u16string::npos ? 0 : static_cast<int>(at) + 1;
}

int WideString::FindLast(WChar c) const {
  size_t at = text_.rfind(c);
  return at == std::u16string::npos ? 0 : static_cast<int>(at) + 1;
}

int WideString::Compare(const WideString& other, bool ignoreCase) const {
  size_t n = std::min(text_.size(), other.text_.size());
  for (size_t i = 0; i < n; ++i) {
    WChar a = ignoreCase ? FoldAsciiLower(text_[i]) : text_[i];
    WChar b = ignoreCase ? FoldAsciiLower(other.text_[i]) : other.text_[i];
    if (a != b) return a < b ? -1 : 1;
  }
  if (text_.size() == other.text_.size()) return 0;
  return text_.size() < other.text_.size() ? -1 : 1;
}

bool WideString::StartsWith(const WideString& prefix, bool ignoreCase) const {
  if (prefix.Length() > Length()) return false;
  return Left(prefix.Length()).Compare(prefix, ignoreCase) == 0;
}

bool WideString::EndsWith(const WideString& suffix, bool ignoreCase) const {
  if (suffix.Length() > Length()) return false;
  return Right(suffix.Length()).Compare(suffix, ignoreCase) == 0;
}

void WideString::ToUpperAscii() {
  for (auto& c : text_)
    if (c >= u'a' && c <= u'z') c = static_cast<WChar>(c - 32);
}

void WideString::ToLowerAscii() {
  for (auto& c : text_) c = FoldAsciiLower(c);
}

int WideString::Replace(const WideString& find, const WideString& replacement, bool ignoreCase) {
  if (find.IsEmpty()) return 0;
  std::u16string out;
  out.reserve(text_.size());
  int count = 0;
  size_t i = 0;
  const size_t n = find.text_.size();
  while (i < text_.size()) {
    bool match = i + n <= text_.size();
    for (size_t k = 0; match && k < n; ++k) match = UnitsEqual(text_[i + k], find.text_[k], ignoreCase);
    if (match) {
      out += replacement.text_;
      i += n;
      ++count;
    } else {
      out += text_[i++];
    }
  }
  if (count > 0) text_.swap(out);
  return count;
}

void WideString::TrimLeadingSpaces() {
  size_t n = 0;
  while (n < text_.size() && text_[n] == u' ') ++n;
  text_.erase(0, n);
}

void WideString::TrimTrailingSpaces() {
  while (!text_.empty() && text_.back() == u' ') text_.pop_back();
}

int64_t WideString::ParseInteger() const {
  WideString copy(*this);
  copy.TrimLeadingSpaces();
  const std::u16string& t = copy.text_;
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  // Unsigned arithmetic: an overlong number wraps instead of overflowing.
  uint64_t value = 0;
  for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i) value = value * 10 + (t[i] - u'0');
  return static_cast<int64_t>(negative ? 0 - value : value);
}

WideString WideString::Hex16(uint64_t value) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text(16, u'0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 15];
  return WideString(std::move(text));
}

WideString WideString::Hex(uint64_t value) {
  WideString full = Hex16(value);
  int first = 1;
  while (first < 16 && full.CharAt(first) == u'0') ++first;
  return full.From(first);
}

WideString WideString::operator+(const WideString& other) const {
  WideString result(*this);
  result.Append(other);
  return result;
}

WideString operator+(const WChar* left, const WideString& right) {
  WideString result(left);
  result.Append(right);
  return result;
}
