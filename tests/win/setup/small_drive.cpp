#include "small_drive.h"

#include <cstdint>

#include "unix_link.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

namespace {

const WChar kRoot[] = u"S:\\";
constexpr uint64_t kLargestSmallDrive = 64ull << 20;

// The folder as Wine shows a Unix path (drive Z:).
WideString HostFolder(const char* unixPath) {
  WideString path = u"Z:" + WideString::FromUtf8(unixPath) + u"/";
  path.Replace(u"/", u"\\", false);
  return path;
}

bool IsSmall(const WideString& folder) {
  ULARGE_INTEGER available{}, total{}, free{};
  return GetDiskFreeSpaceExW(folder.W(), &available, &total, &free) && total.QuadPart <= kLargestSmallDrive;
}

// Wine finds its drive letters as symbolic links in the prefix's dosdevices
// folder. A Windows program cannot make one there (CreateSymbolicLinkW does
// nothing under Wine), but Wine starts a Unix program as it starts any other;
// it gives no handle to wait on, so the drive is awaited instead.
bool LinkDrive(std::string* whyNot) {
  wchar_t prefix[1024] = {};
  const DWORD length = GetEnvironmentVariableW(L"PLOVE_WINE_PREFIX", prefix, 1024);
  if (length == 0 || length >= 1024) {
    *whyNot = "PLOVE_WINE_PREFIX is not set: the small drive is mapped only in the prefix of a ctest run";
    return false;
  }
  const std::string link = WideString(prefix).ToUtf8() + "/dosdevices/s:";
  if (!StartUnixLn(PLOVE_SMALL_DRIVE_PATH, link)) {
    *whyNot = std::string("could not start ln for ") + PLOVE_SMALL_DRIVE_PATH + ", error " +
              std::to_string(GetLastError());
    return false;
  }
  for (int waited = 0; waited < 10000; waited += 50) {
    if (IsSmall(WideString(kRoot))) return true;
    Sleep(50);
  }
  *whyNot = std::string("the small drive did not appear as S: after linking ") + PLOVE_SMALL_DRIVE_PATH;
  return false;
}

}  // namespace

bool SmallDriveAvailable(WideString* root, std::string* whyNot) {
  static bool mapped = false;
  std::string reason;
  if (!mapped) {
    const WideString folder = HostFolder(PLOVE_SMALL_DRIVE_PATH);
    if (GetFileAttributesW(folder.W()) == INVALID_FILE_ATTRIBUTES) {
      reason = "no small drive at " PLOVE_SMALL_DRIVE_PATH ": its fixture (small-drive.sh mount) did not run";
    } else if (!IsSmall(folder)) {
      reason = "the small drive is not mounted (mounting a tmpfs needs root)";
    } else {
      mapped = LinkDrive(&reason);
    }
  }
  if (whyNot != nullptr) *whyNot = reason;
  if (mapped) *root = WideString(kRoot);
  return mapped;
}
