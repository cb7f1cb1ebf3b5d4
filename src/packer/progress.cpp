#include "packer/progress.h"

#include <cstdio>

Progress::Progress(bool enabled, size_t totalMembers)
    : enabled_(enabled), total_(totalMembers), start_(std::chrono::steady_clock::now()) {}

void Progress::MemberDone(uint64_t bytes) {
  ++done_;
  bytes_ += bytes;
  Draw(false);
}

void Progress::Finish() {
  if (!enabled_) return;
  Draw(true);
  std::fputc('\n', stderr);
}

void Progress::Draw(bool force) {
  if (!enabled_) return;
  int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
  if (!force && now - lastDrawMs_ < 100) return;
  if (drawing_.test_and_set()) return;
  lastDrawMs_ = now;
  double seconds = now > 0 ? now / 1000.0 : 0.001;
  std::fprintf(stderr, "\rpacking: %zu/%zu members, %.1f MB/s   ", done_.load(), total_,
               double(bytes_.load()) / 1e6 / seconds);
  std::fflush(stderr);
  drawing_.clear();
}
