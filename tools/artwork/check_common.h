#pragma once
// What the resource checks share: one report line per resource, and the
// bytes of a resource of this program.

#include "util/win/windows_api.h"

#include <string>
#include <vector>

// Prints "ok" or "FAIL", the resource and the detail; counts the failures.
void Report(bool ok, const char* what, const std::string& detail);
int FailureCount();

// The text with everything but printable ASCII as '?'.
std::string Narrow(const std::wstring& text);

struct Bytes {
  const unsigned char* data = nullptr;
  DWORD size = 0;
};

// The resource's bytes; data is null when it is missing.
Bytes ResourceBytes(const wchar_t* type, int id);

// Bitmaps and icons (check_images.cpp).
struct LoadedBitmap {
  HBITMAP handle = nullptr;
  BITMAP info = {};
  ~LoadedBitmap() {
    if (handle) DeleteObject(handle);
  }
};
bool LoadBitmapId(int id, LoadedBitmap& out);
void CheckCloseStrip(int id, int frame);
void CheckEmblem(int colourId, int maskId, int width, int height);
// Which sizes an icon holds: the option rows' (16 to 48 px), the status
// pictures' (75 to 256 px) or both.
enum class IconSizes { Row, Status, Both };
void CheckIcon(int id, const char* role, IconSizes sizes);
