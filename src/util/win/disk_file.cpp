#include "util/win/disk_file.h"

#include <utility>

#include "util/path_text.h"
#include "util/win/message_door.h"
#include "util/win/safe_files.h"

namespace {
const UINT kRetryFlags = MB_RETRYCANCEL | MB_ICONINFORMATION;
}

DiskFile::DiskFile(DiskFile&& other) noexcept { *this = std::move(other); }

DiskFile& DiskFile::operator=(DiskFile&& other) noexcept {
  if (this != &other) {
    Close();
    path_ = std::move(other.path_);
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    reportErrors_ = other.reportErrors_;
    ownsHandle_ = std::exchange(other.ownsHandle_, false);
  }
  return *this;
}

bool DiskFile::Open(const WideString& path, DWORD access, DWORD disposition, bool reportErrors) {
  Close();
  path_ = path;
  reportErrors_ = reportErrors;
  WideString longForm = LongPathForm(path, 260);
  for (;;) {
    handle_ = OpenByPath(longForm, access, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition).Release();
    if (handle_ != INVALID_HANDLE_VALUE) {
      ownsHandle_ = true;
      return true;
    }
    if (!reportErrors_) return false;
    const WChar* caption = (access & GENERIC_WRITE) ? u"File Write Error" : u"File Read Error";
    if (ShowMessage(nullptr, u"Unable to open '" + path + u"'", caption, kRetryFlags) != IDRETRY) return false;
  }
}

void DiskFile::Attach(HANDLE handle) {
  Close();
  handle_ = handle;
  ownsHandle_ = false;
}

DWORD DiskFile::Read(void* buffer, DWORD count) {
  for (;;) {
    DWORD done = 0;
    if (handle_ != INVALID_HANDLE_VALUE) {
      BOOL ok = ReadFile(handle_, buffer, count, &done, nullptr);
      DWORD error = ok ? 0 : GetLastError();
      // A successful read that comes up short has met the end of the file,
      // which is not an error.
      if (ok || error == ERROR_HANDLE_EOF) return done;
    }
    if (!reportErrors_) return done;
    if (ShowMessage(nullptr, u"Unable to read from '" + path_ + u"'", u"File Read Error", kRetryFlags) != IDRETRY)
      return done;
  }
}

bool DiskFile::Write(const void* buffer, DWORD count) {
  if (buffer == nullptr) {
    if (count == 0) return true;
    if (reportErrors_)
      ShowMessage(nullptr, u"Error writing a NULL buffer to file", u"File Write Error", MB_OK | MB_ICONINFORMATION);
    return false;
  }
  for (;;) {
    DWORD done = 0;
    if (handle_ != INVALID_HANDLE_VALUE && WriteFile(handle_, buffer, count, &done, nullptr) && done == count)
      return true;
    if (!reportErrors_) return false;
    if (ShowMessage(nullptr, u"Unable to write to '" + path_ + u"'", u"File Write Error", kRetryFlags) != IDRETRY)
      return false;
  }
}

bool DiskFile::WriteText(const char* text8, bool addCrLf) {
  bool ok = Write(text8, static_cast<DWORD>(lstrlenA(text8)));
  if (addCrLf) Write("\r\n", 2);
  return ok;
}

bool DiskFile::Seek(int64_t offset, bool relative) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  SetLastError(0);
  DWORD low = SetFilePointer(handle_, static_cast<LONG>(distance.LowPart), &distance.HighPart,
                             relative ? FILE_CURRENT : FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != 0);
}

uint64_t DiskFile::Size() const {
  if (handle_ == INVALID_HANDLE_VALUE) return 0;
  DWORD high = 0;
  SetLastError(0);  // a size whose low half is 0xFFFFFFFF is no failure
  DWORD low = GetFileSize(handle_, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  return (static_cast<uint64_t>(high) << 32) | low;
}

void DiskFile::Close() {
  if (handle_ != INVALID_HANDLE_VALUE && ownsHandle_) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  ownsHandle_ = false;
}
