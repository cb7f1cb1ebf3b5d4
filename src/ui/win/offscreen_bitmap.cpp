#include "ui/win/offscreen_bitmap.h"

#include <utility>

#include <ole2.h>
#include <olectl.h>

OffscreenBitmap::OffscreenBitmap(OffscreenBitmap&& other) noexcept
    : dc_(std::move(other.dc_)), bitmap_(std::move(other.bitmap_)),
      previous_(std::exchange(other.previous_, nullptr)) {}

OffscreenBitmap& OffscreenBitmap::operator=(OffscreenBitmap&& other) noexcept {
  if (this != &other) {
    Free();
    dc_ = std::move(other.dc_);
    bitmap_ = std::move(other.bitmap_);
    previous_ = std::exchange(other.previous_, nullptr);
  }
  return *this;
}

bool OffscreenBitmap::Create(HWND window, int width, int height) {
  Free();
  if (width <= 0 || height <= 0) return false;
  ScreenDC screen(window);
  if (!screen.Get()) return false;
  bitmap_.Reset(CreateCompatibleBitmap(screen.Get(), width, height));
  if (!bitmap_) return false;
  return SelectInto(screen.Get());
}

bool OffscreenBitmap::Adopt(HBITMAP bitmap, HDC referenceDc) {
  Free();
  if (!bitmap) return false;
  bitmap_.Reset(bitmap);
  if (referenceDc) return SelectInto(referenceDc);
  ScreenDC screen;
  return SelectInto(screen.Get());
}

bool OffscreenBitmap::SelectInto(HDC referenceDc) {
  dc_.Reset(CreateCompatibleDC(referenceDc));
  if (!dc_) {
    bitmap_.Reset();
    return false;
  }
  previous_ = SelectObject(dc_.Get(), bitmap_.Get());
  return true;
}

void OffscreenBitmap::Free() {
  if (dc_ && previous_) SelectObject(dc_.Get(), previous_);
  previous_ = nullptr;
  dc_.Reset();
  bitmap_.Reset();
}

int OffscreenBitmap::Blit(HDC targetDc, int x, int y, int width, int height, int srcX, int srcY,
                          DWORD rop) const {
  if (!IsValid() || !targetDc) return 0;
  if (width == -1) width = Width();
  if (height == -1) height = Height();
  return BitBlt(targetDc, x, y, width, height, dc_.Get(), srcX, srcY, rop);
}

int OffscreenBitmap::Width() const {
  BITMAP info{};
  if (!bitmap_ || !GetObjectW(bitmap_.Get(), sizeof info, &info)) return 0;
  return info.bmWidth;
}

int OffscreenBitmap::Height() const {
  BITMAP info{};
  if (!bitmap_ || !GetObjectW(bitmap_.Get(), sizeof info, &info)) return 0;
  return info.bmHeight;
}

HBITMAP CopyBitmap(HBITMAP source) {
  BITMAP info{};
  if (!source || !GetObjectW(source, sizeof info, &info)) return nullptr;
  ScreenDC screen;
  HBITMAP copy = CreateCompatibleBitmap(screen.Get(), info.bmWidth, info.bmHeight);
  if (!copy) return nullptr;
  MemoryDC from(CreateCompatibleDC(screen.Get()));
  MemoryDC to(CreateCompatibleDC(screen.Get()));
  if (!from || !to) {
    DeleteObject(copy);
    return nullptr;
  }
  Selection fromSelection(from.Get(), source);
  Selection toSelection(to.Get(), copy);
  BitBlt(to.Get(), 0, 0, info.bmWidth, info.bmHeight, from.Get(), 0, 0, SRCCOPY);
  return copy;
}

HBITMAP LoadScreenBitmap(int id) {
  ScopedBitmap loaded(static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  if (!loaded) return nullptr;
  return CopyBitmap(loaded.Get());
}

bool LoadBitmapResource(int id, OffscreenBitmap& image) {
  image.Free();
  return image.Adopt(LoadScreenBitmap(id));
}

HBITMAP PictureFromMemory(const void* bytes, size_t count) {
  if (!bytes || count < 8) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, count);
  if (!memory) return nullptr;
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return nullptr;
  }
  memcpy(target, bytes, count);
  GlobalUnlock(memory);

  HBITMAP result = nullptr;
  IStream* stream = nullptr;
  if (SUCCEEDED(CreateStreamOnHGlobal(memory, FALSE, &stream)) && stream) {
    IPicture* picture = nullptr;
    HRESULT loaded = OleLoadPicture(stream, static_cast<LONG>(count), FALSE, IID_IPicture,
                                    reinterpret_cast<void**>(&picture));
    stream->Release();
    if (SUCCEEDED(loaded) && picture) {
      OLE_XSIZE_HIMETRIC hmWidth = 0;
      OLE_YSIZE_HIMETRIC hmHeight = 0;
      picture->get_Width(&hmWidth);
      picture->get_Height(&hmHeight);
      ScreenDC screen;
      int cx = MulDiv(hmWidth, GetDeviceCaps(screen.Get(), LOGPIXELSX), 2540);
      int cy = MulDiv(hmHeight, GetDeviceCaps(screen.Get(), LOGPIXELSY), 2540);
      if (cx > 0 && cy > 0) {
        HBITMAP bitmap = CreateCompatibleBitmap(screen.Get(), cx, cy);
        MemoryDC dc(CreateCompatibleDC(screen.Get()));
        if (bitmap && dc) {
          Selection selection(dc.Get(), bitmap);
          picture->Render(dc.Get(), 0, 0, cx, cy, 0, hmHeight, hmWidth, -hmHeight, nullptr);
          result = bitmap;
        } else if (bitmap) {
          DeleteObject(bitmap);
        }
      }
      picture->Release();
    }
  }
  GlobalFree(memory);
  return result;
}
