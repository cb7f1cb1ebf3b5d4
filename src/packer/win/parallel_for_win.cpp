#include <process.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "packer/parallel_for.h"
#include "util/win/scoped_handle.h"
#include "util/win/windows_api.h"

namespace {

struct SharedWork {
  std::atomic<size_t> next{0};
  size_t count = 0;
  const std::function<void(size_t)>* body = nullptr;

  void Run() {
    for (size_t i = next++; i < count; i = next++) (*body)(i);
  }
};

unsigned __stdcall ThreadMain(void* context) {
  static_cast<SharedWork*>(context)->Run();
  return 0;
}

}  // namespace

unsigned HardwareThreads() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  unsigned n = 0;
  for (; process != 0; process &= process - 1) ++n;
  return n;
}

void ParallelFor(size_t count, unsigned threadCount, const std::function<void(size_t)>& body) {
  SharedWork work;
  work.count = count;
  work.body = &body;
  // No work starts no thread (and min(threads, 0) - 1 would wrap).
  size_t extra = threadCount > 1 && count > 1 ? std::min<size_t>(threadCount, count) - 1 : 0;
  std::vector<ScopedHandle<KernelHandleTraits>> threads;
  for (size_t t = 0; t < extra; ++t) {
    uintptr_t handle = _beginthreadex(nullptr, 0, ThreadMain, &work, 0, nullptr);
    if (handle == 0) break;  // fewer helpers: the calling thread still does all that is left
    threads.emplace_back(reinterpret_cast<HANDLE>(handle));
  }
  work.Run();
  for (const auto& thread : threads) WaitForSingleObject(thread.Get(), INFINITE);
}
