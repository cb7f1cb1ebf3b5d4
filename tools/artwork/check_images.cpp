// The installer's bitmaps and icons, loaded as the windows load them.

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "check_common.h"
#include "resources/resource_ids.h"

// ---------------------------------------------------------------------------
// Bitmaps.

namespace {

// The pixels of a bitmap as 32-bit 0x00RRGGBB values, top row first.
std::vector<DWORD> Pixels(HBITMAP bitmap, int width, int height) {
  std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) pixels.clear();
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

}  // namespace

bool LoadBitmapId(int id, LoadedBitmap& out) {
  out.handle = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  return out.handle && GetObjectW(out.handle, sizeof out.info, &out.info) == sizeof out.info;
}

// A strip of four frames, image row above mask row: each frame draws
// something, and the image row is black wherever the mask lets the
// background through (so that SRCAND then SRCPAINT leaves it untouched).
void CheckCloseStrip(int id, int frame) {
  char what[32];
  std::snprintf(what, sizeof what, "bitmap %d", id);
  LoadedBitmap bmp;
  if (!LoadBitmapId(id, bmp)) {
    Report(false, what, "missing");
    return;
  }
  int w = bmp.info.bmWidth, h = bmp.info.bmHeight;
  std::string problems;
  if (w != frame * 4 || h != frame * 2) problems += " size";
  std::vector<DWORD> px = Pixels(bmp.handle, w, h);
  if (px.empty() || !problems.empty()) {
    problems += " pixels";
  } else {
    for (int f = 0; f < 4; ++f) {
      int covered = 0, leaks = 0;
      for (int y = 0; y < frame; ++y) {
        for (int x = f * frame; x < (f + 1) * frame; ++x) {
          DWORD image = px[y * w + x];
          DWORD mask = px[(y + frame) * w + x];
          if (mask == 0) ++covered;
          else if (mask != 0xFFFFFF || image != 0) ++leaks;
        }
      }
      if (covered == 0) problems += " empty-frame-" + std::to_string(f);
      if (leaks != 0) problems += " mask-mismatch-" + std::to_string(f);
    }
  }
  char detail[96];
  std::snprintf(detail, sizeof detail, "close strip %d x %d, %d bpp", w, h, bmp.info.bmBitsPixel);
  Report(problems.empty(), what, detail + (problems.empty() ? "" : " -" + problems));
}

// The emblem pair: same size, a mask of black and white pixels only, and a
// colour bitmap that is black wherever the mask is white.
void CheckEmblem(int colourId, int maskId, int width, int height) {
  char what[32];
  std::snprintf(what, sizeof what, "bitmaps %d/%d", colourId, maskId);
  LoadedBitmap colour, mask;
  if (!LoadBitmapId(colourId, colour) || !LoadBitmapId(maskId, mask)) {
    Report(false, what, "missing");
    return;
  }
  std::string problems;
  if (colour.info.bmWidth != width || colour.info.bmHeight != height ||
      mask.info.bmWidth != width || mask.info.bmHeight != height)
    problems += " size";
  if (problems.empty()) {
    std::vector<DWORD> c = Pixels(colour.handle, width, height);
    std::vector<DWORD> m = Pixels(mask.handle, width, height);
    int covered = 0, leaks = 0, grey = 0;
    for (size_t i = 0; i < c.size() && i < m.size(); ++i) {
      if (m[i] == 0) ++covered;
      else if (c[i] != 0) ++leaks;
      if (m[i] != 0 && m[i] != 0xFFFFFF) ++grey;
    }
    if (grey != 0) problems += " mask-not-black-and-white";
    if (c.empty() || m.empty()) problems += " pixels";
    if (covered < width * height / 4) problems += " nearly-empty";
    if (leaks != 0) problems += " mask-mismatch";
  }
  char detail[96];
  std::snprintf(detail, sizeof detail, "emblem %d x %d, %d bpp colour, %d bpp mask", width, height,
                colour.info.bmBitsPixel, mask.info.bmBitsPixel);
  Report(problems.empty(), what, detail + (problems.empty() ? "" : " -" + problems));
}

// ---------------------------------------------------------------------------
// Icons.

namespace {

const int kRowSizes[] = {16, 20, 24, 32, 48};
const int kStatusSizes[] = {75, 94, 112, 150, 256};

int GroupEntryCount(int id) {
  Bytes group = ResourceBytes(MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, id);
  return group.data && group.size >= 6 ? group.data[4] | (group.data[5] << 8) : 0;
}

// The group's 14-byte directory entry for the square frame of that size, or
// null.
const unsigned char* GroupEntryOfSize(const Bytes& group, int size) {
  if (!group.data || group.size < 6) return nullptr;
  int count = group.data[4] | (group.data[5] << 8);
  for (int i = 0; i < count; ++i) {
    size_t at = 6 + static_cast<size_t>(i) * 14;
    if (at + 14 > group.size) return nullptr;
    int w = group.data[at] ? group.data[at] : 256;
    int h = group.data[at + 1] ? group.data[at + 1] : 256;
    if (w == size && h == size) return group.data + at;
  }
  return nullptr;
}

bool GroupHasSize(int id, int size) {
  return GroupEntryOfSize(ResourceBytes(MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, id), size) != nullptr;
}

// True when the group's entry of that size is stored PNG-compressed.
bool EntryIsPng(int id, int size) {
  const unsigned char* entry = GroupEntryOfSize(ResourceBytes(MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, id), size);
  if (entry == nullptr) return false;
  Bytes image = ResourceBytes(MAKEINTRESOURCEW(3) /* RT_ICON */, entry[12] | (entry[13] << 8));
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return image.data && image.size >= 8 && std::memcmp(image.data, kSignature, 8) == 0;
}

// Draws the icon on white and counts the pixels it changed.
int DrawnPixels(HICON icon, int size) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) {
    DeleteDC(dc);
    return 0;
  }
  HGDIOBJ old = SelectObject(dc, dib);
  DWORD* px = static_cast<DWORD*>(bits);
  for (int i = 0; i < size * size; ++i) px[i] = 0xFFFFFF;
  DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  GdiFlush();
  int changed = 0;
  for (int i = 0; i < size * size; ++i)
    if ((px[i] & 0xFFFFFF) != 0xFFFFFF) ++changed;
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
  return changed;
}

}  // namespace

// Every frame is PNG-compressed (LoadImageW decodes them below).
void CheckIcon(int id, const char* role, IconSizes kind) {
  char what[32];
  std::snprintf(what, sizeof what, "icon %d", id);
  std::string problems;
  std::string sizes;
  std::vector<int> wanted;
  if (kind != IconSizes::Status) wanted.insert(wanted.end(), std::begin(kRowSizes), std::end(kRowSizes));
  if (kind != IconSizes::Row) wanted.insert(wanted.end(), std::begin(kStatusSizes), std::end(kStatusSizes));
  // Exactly those sizes: a frame that no window draws is weight in every installer.
  if (GroupEntryCount(id) != static_cast<int>(wanted.size())) {
    problems += " entries-" + std::to_string(GroupEntryCount(id));
  }
  for (int size : wanted) {
    std::string tag = std::to_string(size);
    if (!GroupHasSize(id, size)) problems += " no-entry-" + tag;
    if (!EntryIsPng(id, size)) problems += " not-png-" + tag;
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                               IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    if (!icon) {
      problems += " load-" + tag;
      continue;
    }
    ICONINFO info = {};
    BITMAP colour = {};
    if (!GetIconInfo(icon, &info) || !info.hbmColor ||
        GetObjectW(info.hbmColor, sizeof colour, &colour) != sizeof colour ||
        colour.bmWidth != size || colour.bmHeight != size)
      problems += " size-" + tag;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    // Every picture covers well over a tenth of its square.
    if (DrawnPixels(icon, size) < size * size / 10) problems += " blank-" + tag;
    DestroyIcon(icon);
    sizes += (sizes.empty() ? "" : ",") + tag;
  }
  Report(problems.empty(), what, std::string(role) + " [" + sizes + "]" +
                                     (problems.empty() ? "" : " -" + problems));
}

