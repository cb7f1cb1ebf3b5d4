#include "util/cp1252.h"

namespace {
// 0x80 to 0x9F; everything else maps to the same code point.
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

char16_t Cp1252ToUnit(uint8_t byte) { return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte; }

bool UnitToCp1252(char16_t unit, uint8_t* byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    *byte = static_cast<uint8_t>(unit);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == unit) {
      *byte = static_cast<uint8_t>(0x80 + i);
      return true;
    }
  }
  return false;
}

bool IsUndefinedCp1252(uint8_t byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}
