#include "util/win/random.h"

#include "util/mt19937.h"
#include "util/win/windows_api.h"

namespace {

uint32_t StartSeed() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  auto sq = [](uint32_t v) { return v * v; };
  uint32_t seed = sq(now.wMilliseconds) + sq(now.wSecond) + sq(now.wMinute) + sq(now.wHour) + sq(now.wYear);
  LARGE_INTEGER counter;
  if (QueryPerformanceCounter(&counter)) seed = seed * counter.LowPart + static_cast<uint32_t>(counter.HighPart);
  return seed + GetTickCount();
}

struct Source {
  Source() : generator(StartSeed()) { InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  Mt19937 generator;
};

Source& TheSource() {
  static Source source;  // thread-safe initialisation
  return source;
}

}  // namespace

uint32_t Random(uint32_t n) {
  Source& source = TheSource();
  EnterCriticalSection(&source.lock);
  uint32_t x = source.generator.Next();
  LeaveCriticalSection(&source.lock);
  return ScaleRandom(x, n);
}

// RtlGenRandom, exported by advapi32 under this name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

bool CryptoRandom(void* buffer, unsigned long size) { return SystemFunction036(buffer, size) != FALSE; }
