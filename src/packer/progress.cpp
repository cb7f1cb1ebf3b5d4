#include "packer/progress.h"

#include <cstdio>

namespace {

constexpr int64_t kTerminalIntervalMs = 100;
constexpr int64_t kLogIntervalMs = 5000;

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
  return text;
}

}  // namespace

Progress::Progress(ProgressStyle style, uint64_t totalBytes)
    : style_(style), total_(totalBytes), start_(std::chrono::steady_clock::now()) {}

std::string Progress::Text(uint64_t done, uint64_t total, int64_t elapsedMs) {
  const unsigned percent = total == 0 ? 100 : unsigned(done * 100 / total);
  std::string text = "packing: " + Megabytes(done) + " of " + Megabytes(total) + " (" + std::to_string(percent) + " %)";
  if (elapsedMs > 0 && done > 0) {
    const double rate = double(done) / (double(elapsedMs) / 1000.0);
    char tail[64];
    std::snprintf(tail, sizeof tail, ", %.1f MB/s", rate / 1e6);
    text += tail;
    if (done < total) text += ", " + std::to_string(int64_t(double(total - done) / rate + 0.5)) + " s left";
  }
  return text;
}

void Progress::MemberDone(uint64_t bytes) {
  bytes_ += bytes;
  Draw(false);
}

void Progress::Finish() {
  if (style_ != ProgressStyle::Terminal || !drawn_) return;
  Draw(true);
  std::fputc('\n', stderr);
}

void Progress::Draw(bool force) {
  if (style_ == ProgressStyle::None) return;
  int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
  const int64_t interval = style_ == ProgressStyle::Terminal ? kTerminalIntervalMs : kLogIntervalMs;
  if (!force && now - lastDrawMs_ < interval) return;
  if (drawing_.test_and_set()) return;
  lastDrawMs_ = now;
  drawn_ = true;
  const std::string text = Text(bytes_.load(), total_, now);
  if (style_ == ProgressStyle::Terminal) {
    std::fprintf(stderr, "\r%s   ", text.c_str());
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  std::fflush(stderr);
  drawing_.clear();
}
