#include "util/format.h"

#include <cmath>
#include <cstdio>
#include <string>

int64_t FormatArg::AsSigned() const {
  switch (kind_) {
    case Kind::Signed: return signed_;
    case Kind::Unsigned:
    case Kind::Char: return static_cast<int64_t>(unsigned_);
    case Kind::Float: return std::isfinite(float_) ? static_cast<int64_t>(float_) : 0;
    case Kind::Text: return 0;
  }
  return 0;
}

uint64_t FormatArg::AsUnsigned() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<uint64_t>(signed_);
    case Kind::Unsigned:
    case Kind::Char: return unsigned_;
    case Kind::Float: return static_cast<uint64_t>(AsSigned());
    case Kind::Text: return 0;
  }
  return 0;
}

double FormatArg::AsFloat() const {
  switch (kind_) {
    case Kind::Signed: return static_cast<double>(signed_);
    case Kind::Unsigned:
    case Kind::Char: return static_cast<double>(unsigned_);
    case Kind::Float: return float_;
    case Kind::Text: return 0;
  }
  return 0;
}

namespace {

struct Spec {
  bool left = false, zero = false, plus = false, space = false, alt = false;
  int width = 0;
  int precision = -1;
};

void Pad(std::u16string& out, const std::u16string& body, const Spec& spec, bool numeric) {
  int fill = spec.width - static_cast<int>(body.size());
  if (fill <= 0) {
    out += body;
  } else if (spec.left) {
    out += body;
    out.append(static_cast<size_t>(fill), u' ');
  } else if (spec.zero && numeric) {
    // Zeros go after a sign or a 0x prefix.
    size_t signLength = 0;
    if (!body.empty() && (body[0] == u'-' || body[0] == u'+' || body[0] == u' ')) signLength = 1;
    if (body.size() >= signLength + 2 && body[signLength] == u'0' &&
        (body[signLength + 1] == u'x' || body[signLength + 1] == u'X'))
      signLength += 2;
    out.append(body, 0, signLength);
    out.append(static_cast<size_t>(fill), u'0');
    out.append(body, signLength, std::u16string::npos);
  } else {
    out.append(static_cast<size_t>(fill), u' ');
    out += body;
  }
}

std::u16string Digits(uint64_t value, unsigned base, bool upper) {
  const char16_t* set = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
  std::u16string d;
  do {
    d.insert(d.begin(), set[value % base]);
    value /= base;
  } while (value != 0);
  return d;
}

std::u16string Integer(const FormatArg& arg, char16_t conv, const Spec& spec) {
  bool negative = false;
  uint64_t magnitude;
  unsigned base = 10;
  if (conv == u'd' || conv == u'i') {
    int64_t v = arg.AsSigned();
    negative = v < 0;
    magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  } else {
    magnitude = arg.AsUnsigned();
    // Without a length modifier printf sees 32 bits; keep negative ints that
    // way so "%X" of -1 prints FFFFFFFF as the C runtime would.
    if (arg.kind() == FormatArg::Kind::Signed && arg.AsSigned() < 0 && arg.AsSigned() >= INT32_MIN)
      magnitude &= 0xFFFFFFFFu;
    if (conv == u'x' || conv == u'X' || conv == u'p') base = 16;
    if (conv == u'o') base = 8;
  }
  std::u16string digits = Digits(magnitude, base, conv == u'X' || conv == u'p');
  if (spec.precision >= 0 && static_cast<int>(digits.size()) < spec.precision)
    digits.insert(0, static_cast<size_t>(spec.precision) - digits.size(), u'0');
  if (spec.precision == 0 && magnitude == 0) digits.clear();
  std::u16string body;
  if (negative) body += u'-';
  else if (spec.plus && (conv == u'd' || conv == u'i')) body += u'+';
  else if (spec.space && (conv == u'd' || conv == u'i')) body += u' ';
  if (spec.alt && base == 16 && magnitude != 0) body += conv == u'X' ? u"0X" : u"0x";
  return body + digits;
}

// Floating point goes to the C library's formatter. On Windows that is the
// system's own (msvcrt): mingw-w64's standard-conforming one would add some
// 20 KB of code to every installer for conversions that no message of the
// installer uses. The system's writes three exponent digits ("1e+003").
int FormatDouble(char* buffer, size_t size, const char* format, int precision, double value) {
#ifdef _WIN32
  const int n = _snprintf(buffer, size, format, precision, value);
  return n < 0 ? static_cast<int>(size) : n;  // -1: it did not fit
#else
  return std::snprintf(buffer, size, format, precision, value);
#endif
}

std::u16string Floating(double value, char16_t conv, const Spec& spec) {
  char format[16];
  char* f = format;
  *f++ = '%';
  if (spec.plus) *f++ = '+';
  if (spec.space) *f++ = ' ';
  if (spec.alt) *f++ = '#';
  *f++ = '.';
  *f++ = '*';
  *f++ = static_cast<char>(conv);
  *f = 0;
  char buffer[512];
  int precision = spec.precision < 0 ? 6 : std::min(spec.precision, 100);
  int n = FormatDouble(buffer, sizeof buffer, format, precision, value);
  if (n < 0) return u"";
  if (n >= static_cast<int>(sizeof buffer)) {
    // Very large magnitudes: fall back to exponent notation.
    n = FormatDouble(buffer, sizeof buffer, "%.*e", precision, value);
    if (n < 0 || n >= static_cast<int>(sizeof buffer)) return u"";
  }
  return std::u16string(buffer, buffer + n);
}

}  // namespace

WideString FormatWide(const WChar* format, const FormatArg* args, int count) {
  std::u16string out;
  if (format == nullptr) return WideString();
  int next = 0;
  auto take = [&](void) -> const FormatArg* { return next < count ? &args[next++] : nullptr; };
  for (const WChar* p = format; *p != 0; ++p) {
    if (*p != u'%') {
      out += *p;
      continue;
    }
    const WChar* start = p++;
    if (*p == u'%') {
      out += u'%';
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == u'-') spec.left = true;
      else if (*p == u'0') spec.zero = true;
      else if (*p == u'+') spec.plus = true;
      else if (*p == u' ') spec.space = true;
      else if (*p == u'#') spec.alt = true;
      else break;
    }
    if (*p == u'*') {
      const FormatArg* a = take();
      spec.width = a ? static_cast<int>(a->AsSigned()) : 0;
      if (spec.width < 0) {
        spec.left = true;
        spec.width = -spec.width;
      }
      ++p;
    }
    while (*p >= u'0' && *p <= u'9') spec.width = std::min(spec.width * 10 + (*p++ - u'0'), 100000);
    if (*p == u'.') {
      ++p;
      spec.precision = 0;
      if (*p == u'*') {
        const FormatArg* a = take();
        spec.precision = a ? std::max(0, static_cast<int>(a->AsSigned())) : 0;
        ++p;
      }
      while (*p >= u'0' && *p <= u'9') spec.precision = std::min(spec.precision * 10 + (*p++ - u'0'), 100000);
    }
    // Length modifiers carry no meaning here: the argument knows its type.
    for (;;) {
      if (*p == u'h' || *p == u'l' || *p == u'L' || *p == u'z' || *p == u'j' || *p == u't' ||
          *p == u'q' || *p == u'w') {
        ++p;
      } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
        p += 3;
      } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
        p += 3;
      } else if (*p == u'I') {
        ++p;
      } else {
        break;
      }
    }
    const WChar conv = *p;
    if (conv == 0) {
      out.append(start, p);  // a lone % at the end stays as written
      break;
    }
    const FormatArg* arg = nullptr;
    switch (conv) {
      case u's':
      case u'S': {
        arg = take();
        std::u16string text;
        if (arg != nullptr) {
          if (arg->AsText() != nullptr) {
            text = arg->AsText();
          } else if (arg->kind() == FormatArg::Kind::Char) {
            text.assign(1, static_cast<WChar>(arg->AsUnsigned()));
          } else {
            text = WideString::FromInt(arg->AsSigned()).Str();
          }
        }
        if (spec.precision >= 0 && static_cast<int>(text.size()) > spec.precision)
          text.resize(static_cast<size_t>(spec.precision));
        Pad(out, text, spec, false);
        break;
      }
      case u'c':
      case u'C': {
        arg = take();
        std::u16string text;
        if (arg != nullptr) text.assign(1, static_cast<WChar>(arg->AsUnsigned()));
        Pad(out, text, spec, false);
        break;
      }
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X':
      case u'o':
      case u'p': {
        arg = take();
        static const FormatArg kZero(0);
        Pad(out, Integer(arg ? *arg : kZero, conv, spec), spec, spec.precision < 0);
        break;
      }
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G': {
        arg = take();
        Pad(out, Floating(arg ? arg->AsFloat() : 0.0, conv, spec), spec, true);
        break;
      }
      default:
        out.append(start, p + 1);  // unknown conversion: copied as written
        break;
    }
  }
  return WideString(std::move(out));
}
