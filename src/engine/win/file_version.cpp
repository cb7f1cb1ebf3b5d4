// Reading the fixed file version of a file for the placement rule.

#include <vector>

#include "engine/win/file_placement.h"
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
