#pragma once
// Display scaling. The screen's LOGPIXELSX is read once and cached; every
// thread computes the same value, so the cache needs no lock.

#include <cstdint>

#include "util/win/windows_api.h"

// LOGPIXELSX of the screen DC (96 when it cannot be read).
int ScreenDpi();
// Replaces the cached value; 0 reads the screen again on next use. For tests
// that need a given scale without changing the display.
void SetScreenDpiForTesting(int dpi);

// value * DPI / 96, integer division.
int ScaleForDpi(int value);
// The low 16 bits scaled, the high 16 bits kept (packed size values).
uint32_t ScaleLowWordForDpi(uint32_t value);
// The display scale in percent: ScaleForDpi(100).
int DisplayScalePercent();
// a up to 124 %, d from 125 %, b from 150 %, c from 200 %, c | 1 from 300 %.
int PickByScale(int a, int b, int c, int d);

// Icon sizes for the display scale (up to 124 %, 125 to 149 %, 150 to
// 199 %, 200 to 299 %, from 300 %): option and list-row icons 16, 20, 24, 32
// or 48 px; status icons 75, 94, 112, 150 or 256 px.
int OptionIconSize();
int StatusIconSize();
// Icon resource id of the executable at exactly size x size pixels
// (LoadImageW with that size; the icon files hold every size above). The
// caller owns the icon (DestroyIcon); null when the resource is missing.
HICON LoadIconAtSize(int resourceId, int size);
