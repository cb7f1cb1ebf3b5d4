#include "test_images.h"

#include "ui/win/gdi_objects.h"

namespace {

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT rect{left, top, right, bottom};
  SolidBrush brush(colour);
  FillRect(dc, &rect, brush.Get());
}

}  // namespace

HBITMAP MakeButtonStrip(int size) {
  ScreenDC screen;
  HBITMAP strip = CreateCompatibleBitmap(screen.Get(), size * 4, size * 2);
  MemoryDC dc(CreateCompatibleDC(screen.Get()));
  Selection selection(dc.Get(), strip);
  const COLORREF colours[] = {kNormalColour, kPressedColour, kHoverColour};
  for (int frame = 0; frame < 3; ++frame) {
    Fill(dc.Get(), frame * size, 0, frame * size + size, size, colours[frame]);
    Fill(dc.Get(), frame * size, size, frame * size + size, size * 2, 0x000000);
  }
  int x = 3 * size;
  Fill(dc.Get(), x, 0, x + size, size, kFocusColour);
  Fill(dc.Get(), x + 2, 2, x + size - 2, size - 2, 0x000000);
  Fill(dc.Get(), x, size, x + size, size * 2, 0x000000);
  Fill(dc.Get(), x + 2, size + 2, x + size - 2, size * 2 - 2, 0xFFFFFF);
  return strip;
}

HICON MakeSolidIcon(int size, COLORREF colour) {
  ScreenDC screen;
  HBITMAP image = CreateCompatibleBitmap(screen.Get(), size, size);
  HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  {
    MemoryDC dc(CreateCompatibleDC(screen.Get()));
    Selection selection(dc.Get(), image);
    Fill(dc.Get(), 0, 0, size, size, colour);
    Selection maskSelection(dc.Get(), mask);
    PatBlt(dc.Get(), 0, 0, size, size, BLACKNESS);
  }
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = image;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(image);
  DeleteObject(mask);
  return icon;
}
