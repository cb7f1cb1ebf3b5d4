#pragma once
// Runs body(0) ... body(count - 1) on up to `threads` threads and returns
// when all have run. Each index runs exactly once; the order in which
// indexes start is ascending, so callers that sort their work by size get
// the largest items started first. body must not throw.
//
// Two halves: std::thread on the host, the Windows thread API in the mingw
// trees (whose win32 thread model has no std::thread).

#include <cstddef>
#include <functional>

void ParallelFor(size_t count, unsigned threads, const std::function<void(size_t)>& body);

// Processors available to this process (at least 1).
unsigned HardwareThreads();
