#include "ui/win/gdi_objects.h"

SolidBrush& SolidBrush::operator=(SolidBrush&& other) noexcept {
  if (this != &other) {
    Free();
    selection_ = std::move(other.selection_);
    brush_ = std::exchange(other.brush_, nullptr);
    borrowed_ = other.borrowed_;
  }
  return *this;
}

bool SolidBrush::Create(COLORREF colour) {
  Free();
  LOGBRUSH description{};
  description.lbStyle = BS_SOLID;
  description.lbColor = colour;
  brush_ = CreateBrushIndirect(&description);
  return brush_ != nullptr;
}

bool SolidBrush::UseFaceColour() {
  Free();
  brush_ = GetSysColorBrush(COLOR_BTNFACE);
  borrowed_ = true;
  return brush_ != nullptr;
}

void SolidBrush::Free() {
  selection_.Restore();
  if (brush_ && !borrowed_) DeleteObject(brush_);
  brush_ = nullptr;
  borrowed_ = false;
}

SolidPen& SolidPen::operator=(SolidPen&& other) noexcept {
  if (this != &other) {
    Free();
    selection_ = std::move(other.selection_);
    pen_ = std::exchange(other.pen_, nullptr);
  }
  return *this;
}

bool SolidPen::Create(int width, COLORREF colour) {
  Free();
  pen_ = CreatePen(PS_SOLID, width, colour);
  return pen_ != nullptr;
}

void SolidPen::Free() {
  selection_.Restore();
  if (pen_) DeleteObject(pen_);
  pen_ = nullptr;
}

HICON LoadIconResource(int id, int cx, int cy) {
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
}

void PaintIcon(HICON icon, HDC dc, int x, int y) {
  if (!icon || !dc) return;
  DrawIconEx(dc, x, y, icon, IconWidth(icon), IconHeight(icon), 0, nullptr, DI_NORMAL);
}

namespace {

SIZE IconSize(HICON icon) {
  SIZE size{0, 0};
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return size;
  BITMAP bitmap{};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
    size.cx = bitmap.bmWidth;
    size.cy = bitmap.bmHeight;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return size;
}

}  // namespace

int IconWidth(HICON icon) { return IconSize(icon).cx; }
int IconHeight(HICON icon) { return IconSize(icon).cy; }
