#pragma once
// Four-corner gradients with integer interpolation of each colour channel.

#include "util/win/windows_api.h"

// Fills rect (right and bottom inclusive) with colours interpolated between
// the four corners. Corners equal pairwise top to bottom are drawn column by
// column; anything else row by row.
void FillGradient(HDC dc, const RECT& rect, COLORREF topLeft, COLORREF topRight, COLORREF bottomLeft,
                  COLORREF bottomRight);
// One row from x1 to x2 inclusive at y, left colour to right colour.
void GradientLine(HDC dc, int x1, int x2, int y, COLORREF left, COLORREF right);
