#pragma once
// GoogleTest customisation for the mingw-w64 win32 thread model, which has
// no std::mutex: the one class GoogleTest builds on std::mutex is provided
// here on a Win32 event instead.
#if defined(_WIN32)
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {
class Notification {
 public:
  Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};
}  // namespace internal
}  // namespace testing
#endif
