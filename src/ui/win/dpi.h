#pragma once
// Display scaling. The screen's LOGPIXELSX is read once and cached; every
// thread computes the same value, so the cache needs no lock.

#include <cstdint>

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
