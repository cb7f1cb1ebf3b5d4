#pragma once
// Off-screen images: a bitmap selected into its own memory DC, plus the
// helpers that make such bitmaps from resources or image bytes.

#include <cstddef>

#include "ui/win/gdi_objects.h"

class OffscreenBitmap {
 public:
  OffscreenBitmap() = default;
  OffscreenBitmap(const OffscreenBitmap&) = delete;
  OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;
  OffscreenBitmap(OffscreenBitmap&& other) noexcept;
  OffscreenBitmap& operator=(OffscreenBitmap&& other) noexcept;
  ~OffscreenBitmap() { Free(); }

  // A bitmap compatible with the window's DC (the screen's when null),
  // selected into a memory DC. False leaves the object empty.
  bool Create(HWND window, int width, int height);
  // Takes over a bitmap and selects it into a memory DC compatible with
  // referenceDc (the screen's when null).
  bool Adopt(HBITMAP bitmap, HDC referenceDc = nullptr);
  void Free();

  // Copies to targetDc; -1 for width or height means the bitmap's own.
  // Returns 0 without a bitmap.
  int Blit(HDC targetDc, int x, int y, int width = -1, int height = -1, int srcX = 0, int srcY = 0,
           DWORD rop = SRCCOPY) const;
  int Width() const;   // 0 without a bitmap
  int Height() const;  // 0 without a bitmap
  HDC DC() const { return dc_.Get(); }
  HBITMAP Bitmap() const { return bitmap_.Get(); }
  bool IsValid() const { return bitmap_.IsValid() && dc_.IsValid(); }

 private:
  bool SelectInto(HDC referenceDc);

  MemoryDC dc_;
  ScopedBitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
};

// A new screen-compatible bitmap with the pixels of source; null on failure.
HBITMAP CopyBitmap(HBITMAP source);
// The bitmap resource id of the executable as a new screen-compatible
// bitmap, selected nowhere; null when the resource is missing.
HBITMAP LoadScreenBitmap(int id);
// The bitmap resource id of the executable, made screen-compatible, in an
// off-screen image. False when the resource is missing.
bool LoadBitmapResource(int id, OffscreenBitmap& image);
// Decodes image bytes (BMP, GIF, JPEG, ...) with OleLoadPicture into a
// screen-compatible bitmap at the screen's resolution; null on short data or
// any failure. The caller owns the bitmap.
HBITMAP PictureFromMemory(const void* bytes, size_t count);
