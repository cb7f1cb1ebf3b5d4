#include "ui/win/dpi.h"

#include "ui/ui_rules.h"
#include "util/win/windows_api.h"

namespace {
volatile int g_dpi = -1;
}

int ScreenDpi() {
  int dpi = g_dpi;
  if (dpi > 0) return dpi;
  HDC dc = GetDC(nullptr);
  dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
  if (dc) ReleaseDC(nullptr, dc);
  if (dpi <= 0) dpi = 96;
  g_dpi = dpi;
  return dpi;
}

void SetScreenDpiForTesting(int dpi) { g_dpi = dpi > 0 ? dpi : -1; }

int ScaleForDpi(int value) { return value * ScreenDpi() / 96; }

uint32_t ScaleLowWordForDpi(uint32_t value) {
  uint32_t low = static_cast<uint32_t>(ScaleForDpi(static_cast<int>(value & 0xFFFF))) & 0xFFFF;
  return (value & 0xFFFF0000u) | low;
}

int DisplayScalePercent() { return ScaleForDpi(100); }

int PickByScale(int a, int b, int c, int d) { return PickForScale(DisplayScalePercent(), a, b, c, d); }

int OptionIconSize() { return OptionIconSizeForScale(DisplayScalePercent()); }

int StatusIconSize() { return StatusIconSizeForScale(DisplayScalePercent()); }

HICON LoadIconAtSize(int resourceId, int size) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size,
                                       size, LR_DEFAULTCOLOR));
}
