// Reading the fixed file version of a file for the placement rule.

#include <vector>

#include "engine/win/file_placement.h"
#include "pe/byte_source.h"
#include "pe/resource_tree.h"
#include "util/win/system_library.h"

FileVersion ReadFileVersion(const WideString& path) {
  FileVersion version;
  DWORD ignored = 0;
  const DWORD size = SystemFileVersionInfoSize(path.W(), &ignored);
  if (size < 2) return version;
  std::vector<uint8_t> block(size);
  if (!SystemFileVersionInfo(path.W(), 0, size, block.data())) return version;
  void* root = nullptr;
  UINT length = 0;
  if (!SystemVersionValue(block.data(), L"\\", &root, &length) || length == 0 || root == nullptr) return version;
  if (length < sizeof(VS_FIXEDFILEINFO)) return version;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
  version.ms = fixed->dwFileVersionMS;
  version.ls = fixed->dwFileVersionLS;
  return version;
}

namespace {

// The file behind a handle, read at offsets: only the headers and the
// resource directories are read, however large the file.
class HandleSource : public ByteSource {
 public:
  HandleSource(HANDLE file, uint64_t size) : file_(file), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) const override {
    if (!Contains(offset, size) || size > 0xFFFFFFFFu) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    return ReadFile(file_, buffer, static_cast<DWORD>(size), &got, &at) && got == size;
  }

 private:
  HANDLE file_;
  uint64_t size_;
};

constexpr uint16_t kVersionType = 16;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;

}  // namespace

FileVersion ReadFileVersionThroughHandle(HANDLE file) {
  FileVersion version;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0) return version;
  const HandleSource image(file, static_cast<uint64_t>(size.QuadPart));
  uint64_t offset = 0;
  uint32_t length = 0;
  if (LocateResource(image, kVersionType, 1, -1, &offset, &length) != PeStatus::Ok) return version;
  // VS_VERSIONINFO: three 16-bit words, the key "VS_VERSION_INFO", then the
  // fixed part at the next 32-bit boundary.
  uint8_t block[128] = {};
  const size_t head = length < sizeof(block) ? length : sizeof(block);
  if (!image.ReadAt(offset, block, head)) return version;
  for (size_t at = 8; at + 16 <= head; at += 4) {
    if (LoadU32(block + at) != kFixedSignature) continue;
    version.ms = LoadU32(block + at + 8);
    version.ls = LoadU32(block + at + 12);
    break;
  }
  return version;
}
