#include "small_drive.h"

#include <cstdint>

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
// nothing under Wine), but Wine starts a Unix program as it starts any other.
bool LinkDrive(std::string* whyNot) {
  wchar_t prefix[1024] = {};
  const DWORD length = GetEnvironmentVariableW(L"PLOVE_WINE_PREFIX", prefix, 1024);
  if (length == 0 || length >= 1024) {
    *whyNot = "PLOVE_WINE_PREFIX is not set: the small drive is mapped only in the prefix of a ctest run";
    return false;
  }
  WideString command = u"Z:\\bin\\ln -sfn \"" + WideString::FromUtf8(PLOVE_SMALL_DRIVE_PATH) + u"\" \"" +
                       WideString(prefix) + u"/dosdevices/s:\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(nullptr, const_cast<wchar_t*>(command.W()), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &created)) {
    *whyNot = "could not start ln to map the small drive, error " + std::to_string(GetLastError());
    return false;
  }
  ScopedKernelHandle thread(created.hThread);
  ScopedKernelHandle process(created.hProcess);
  DWORD code = 1;
  if (WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.Get(), &code) ||
      code != 0) {
    *whyNot = "ln could not map the small drive (exit code " + std::to_string(code) + ")";
    return false;
  }
  return true;
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
    } else if (LinkDrive(&reason)) {
      mapped = IsSmall(WideString(kRoot));
      if (!mapped) reason = "the small drive was mapped as S: but S: does not show it";
    }
  }
  if (whyNot != nullptr) *whyNot = reason;
  if (mapped) *root = WideString(kRoot);
  return mapped;
}
