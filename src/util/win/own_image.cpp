#include "util/win/own_image.h"

#include "util/wide_string.h"
#include "util/win/process_paths.h"
#include "util/win/safe_files.h"

namespace {

ScopedFileHandle& Held() {
  static ScopedFileHandle file;
  return file;
}

}  // namespace

bool HoldOwnImage() {
  if (Held()) return true;
  const WideString self = ModulePath();
  if (self.IsEmpty()) return false;
  Held() = OpenByPath(self, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  return Held().IsValid();
}

HANDLE OwnImageFile() { return Held().Get(); }

bool ReadOwnImage(uint64_t offset, void* buffer, DWORD size) {
  if (!Held()) return false;
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(Held().Get(), bytes, size, &got, &at) || got == 0) return false;
    bytes += got;
    offset += got;
    size -= got;
  }
  return true;
}
