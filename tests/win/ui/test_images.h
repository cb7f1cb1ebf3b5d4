#pragma once
// Small images drawn by the tests: a close-button strip and check-box icons.

#include "util/win/windows_api.h"

constexpr COLORREF kNormalColour = 0x0000FF;   // red
constexpr COLORREF kPressedColour = 0x00FF00;  // green
constexpr COLORREF kHoverColour = 0xFF0000;    // blue
constexpr COLORREF kFocusColour = 0x00FFFF;    // yellow

// An overlay strip of four size x size frames (normal, pressed, hover,
// focus), image row above mask row; the focus frame is a 2 px border.
HBITMAP MakeButtonStrip(int size);
// A size x size icon filled with one colour.
HICON MakeSolidIcon(int size, COLORREF colour);
