#include "ui/win/gradient.h"

#include "ui/ui_rules.h"
#include "ui/win/gdi_objects.h"
#include "util/win/system_library.h"

void FillGradient(HDC dc, const RECT& rect, COLORREF topLeft, COLORREF topRight, COLORREF bottomLeft,
                  COLORREF bottomRight) {
  if (!dc) return;
  if (topLeft == bottomLeft && topRight == bottomRight) {
    int n = rect.right - rect.left;
    for (int x = rect.left; x <= rect.right; ++x) {
      SolidPen pen(1, InterpolateColour(topLeft, topRight, x - rect.left, n));
      pen.Select(dc);
      MoveToEx(dc, x, rect.top, nullptr);
      LineTo(dc, x, rect.bottom + 1);
    }
    return;
  }
  int n = rect.bottom - rect.top;
  for (int y = rect.top; y <= rect.bottom; ++y) {
    COLORREF left = InterpolateColour(topLeft, bottomLeft, y - rect.top, n);
    COLORREF right = InterpolateColour(topRight, bottomRight, y - rect.top, n);
    GradientLine(dc, rect.left, rect.right, y, left, right);
  }
}

void GradientLine(HDC dc, int x1, int x2, int y, COLORREF left, COLORREF right) {
  if (!dc) return;
  if (left == right) {
    SolidPen pen(1, left);
    pen.Select(dc);
    MoveToEx(dc, x1, y, nullptr);
    LineTo(dc, x2 + 1, y);
    return;
  }
  TRIVERTEX vertices[2]{};
  vertices[0].x = x1;
  vertices[0].y = y;
  vertices[0].Red = static_cast<COLOR16>(GetRValue(left) << 8);
  vertices[0].Green = static_cast<COLOR16>(GetGValue(left) << 8);
  vertices[0].Blue = static_cast<COLOR16>(GetBValue(left) << 8);
  vertices[1].x = x2 + 1;
  vertices[1].y = y + 1;
  vertices[1].Red = static_cast<COLOR16>(GetRValue(right) << 8);
  vertices[1].Green = static_cast<COLOR16>(GetGValue(right) << 8);
  vertices[1].Blue = static_cast<COLOR16>(GetBValue(right) << 8);
  GRADIENT_RECT mesh{0, 1};
  SystemGradientFill(dc, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_H);
}
