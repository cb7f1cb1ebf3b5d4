#pragma once
// Move-only owners of GDI objects and device contexts. Each owner frees its
// object when replaced or destroyed; a Selection puts the previously selected
// object back first, so nothing is ever deleted while selected.

#include <utility>

#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
struct BitmapTraits {
  using Handle = HBITMAP;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteDC(h); }
};
struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyIcon(h); }
};
struct RegionTraits {
  using Handle = HRGN;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};

using ScopedBitmap = ScopedHandle<BitmapTraits>;
using MemoryDC = ScopedHandle<MemoryDcTraits>;
using ScopedIcon = ScopedHandle<IconTraits>;
using ScopedRegion = ScopedHandle<RegionTraits>;

// An object selected into a DC for a scope; the previous object goes back
// when the selection ends or is moved over.
class Selection {
 public:
  Selection() = default;
  Selection(HDC dc, HGDIOBJ object) { Select(dc, object); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  Selection(Selection&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
  Selection& operator=(Selection&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::exchange(other.dc_, nullptr);
      previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
  }
  ~Selection() { Restore(); }

  void Select(HDC dc, HGDIOBJ object) {
    Restore();
    if (!dc || !object) return;
    HGDIOBJ previous = SelectObject(dc, object);
    if (previous && previous != HGDI_ERROR) {
      dc_ = dc;
      previous_ = previous;
    }
  }
  void Restore() {
    if (dc_) SelectObject(dc_, previous_);
    dc_ = nullptr;
    previous_ = nullptr;
  }
  bool IsActive() const { return dc_ != nullptr; }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// A solid brush, or the borrowed system face brush (never deleted).
class SolidBrush {
 public:
  SolidBrush() = default;
  explicit SolidBrush(COLORREF colour) { Create(colour); }
  SolidBrush(const SolidBrush&) = delete;
  SolidBrush& operator=(const SolidBrush&) = delete;
  SolidBrush(SolidBrush&& other) noexcept
      : selection_(std::move(other.selection_)),
        brush_(std::exchange(other.brush_, nullptr)),
        borrowed_(other.borrowed_) {}
  SolidBrush& operator=(SolidBrush&& other) noexcept;
  ~SolidBrush() { Free(); }

  bool Create(COLORREF colour);
  bool UseFaceColour();  // GetSysColorBrush(COLOR_BTNFACE)
  void Free();
  void Select(HDC dc) { selection_.Select(dc, brush_); }
  void Deselect() { selection_.Restore(); }
  HBRUSH Get() const { return brush_; }

 private:
  Selection selection_;
  HBRUSH brush_ = nullptr;
  bool borrowed_ = false;
};

class SolidPen {
 public:
  SolidPen() = default;
  SolidPen(int width, COLORREF colour) { Create(width, colour); }
  SolidPen(const SolidPen&) = delete;
  SolidPen& operator=(const SolidPen&) = delete;
  SolidPen(SolidPen&& other) noexcept
      : selection_(std::move(other.selection_)), pen_(std::exchange(other.pen_, nullptr)) {}
  SolidPen& operator=(SolidPen&& other) noexcept;
  ~SolidPen() { Free(); }

  bool Create(int width, COLORREF colour);
  void Free();
  void Select(HDC dc) { selection_.Select(dc, pen_); }
  void Deselect() { selection_.Restore(); }
  HPEN Get() const { return pen_; }

 private:
  Selection selection_;
  HPEN pen_ = nullptr;
};

// GetDC of a window (or the screen when the window is null) until destroyed.
class ScreenDC {
 public:
  explicit ScreenDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  ScreenDC(ScreenDC&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  ScreenDC& operator=(ScreenDC&& other) noexcept {
    if (this != &other) {
      Release();
      window_ = std::exchange(other.window_, nullptr);
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  ~ScreenDC() { Release(); }
  HDC Get() const { return dc_; }
  void Release() {
    if (dc_) ReleaseDC(window_, dc_);
    dc_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// Icons: loaded from the executable at a size, drawn at their own size.
HICON LoadIconResource(int id, int cx, int cy);
void PaintIcon(HICON icon, HDC dc, int x, int y);
int IconWidth(HICON icon);   // 0 without a colour bitmap
int IconHeight(HICON icon);  // 0 without a colour bitmap
