#include <atomic>
#include <thread>
#include <vector>

#include "packer/parallel_for.h"

unsigned HardwareThreads() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

void ParallelFor(size_t count, unsigned threads, const std::function<void(size_t)>& body) {
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < count; i = next++) body(i);
  };
  // No work starts no thread (and min(threads, 0) - 1 would wrap).
  size_t extra = threads > 1 && count > 1 ? std::min<size_t>(threads, count) - 1 : 0;
  std::vector<std::thread> pool;
  for (size_t t = 0; t < extra; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
}
