#pragma once
// Windows-1252, the ANSI code page this product's 8-bit texts are written in
// on Western machines. The host build uses it as its ANSI code page; the
// packer uses it to check member names and scripts.

#include <cstdint>

// The UTF-16 unit for one byte. The five bytes Windows-1252 leaves undefined
// map to the C1 control of the same value, as Windows does.
char16_t Cp1252ToUnit(uint8_t byte);
// The byte for a unit; false when Windows-1252 has no such character.
bool UnitToCp1252(char16_t unit, uint8_t* byte);
// True for the five bytes with no character assigned (0x81, 0x8D, 0x8F, 0x90, 0x9D).
bool IsUndefinedCp1252(uint8_t byte);
