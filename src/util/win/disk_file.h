#pragma once
// A file opened by name (OpenByPath, util/win/safe_files.h). With reportErrors set, open, read and
// write failures ask the user Retry/Cancel through the message door; without
// it they just return the failure.

#include <cstdint>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

class DiskFile {
 public:
  DiskFile() = default;
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;
  DiskFile(DiskFile&& other) noexcept;
  DiskFile& operator=(DiskFile&& other) noexcept;
  ~DiskFile() { Close(); }

  // OpenByPath(LongPathForm(path, 260), access, share read|write,
  // disposition, FILE_ATTRIBUTE_NORMAL). Closes a file already open first.
  bool Open(const WideString& path, DWORD access, DWORD disposition, bool reportErrors);
  // OPEN_ALWAYS with reportErrors set.
  bool OpenOrCreate(const WideString& path, DWORD access) { return Open(path, access, OPEN_ALWAYS, true); }
  // Wraps a handle opened elsewhere; it is never closed by this object.
  void Attach(HANDLE handle);

  // Bytes read; a short count at the end of the file is not an error.
  DWORD Read(void* buffer, DWORD count);
  // True when every byte was written. A null buffer with count 0 succeeds.
  bool Write(const void* buffer, DWORD count);
  // Writes the NUL-terminated 8-bit text, then "\r\n" when asked; the result
  // is that of the text write.
  bool WriteText(const char* text8, bool addCrLf);
  // From the start, or from the current position when relative.
  bool Seek(int64_t offset, bool relative);
  uint64_t Size() const;
  void Close();

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Handle() const { return handle_; }
  const WideString& Path() const { return path_; }
  bool ReportsErrors() const { return reportErrors_; }
  void SetReportErrors(bool report) { reportErrors_ = report; }

 private:
  WideString path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool reportErrors_ = false;
  bool ownsHandle_ = false;
};
