#pragma once
// The progress of a build: on a terminal one line redrawn in place (bytes
// done of the total, the percentage, the rate and the time left), in a log
// (CI) a line every few seconds. Safe to call from the compression
// threads; a thread that finds another one drawing skips its turn.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

enum class ProgressStyle { None, Terminal, Log };

class Progress {
 public:
  Progress(ProgressStyle style, uint64_t totalBytes);
  void MemberDone(uint64_t bytes);
  // Ends the line (when anything was drawn).
  void Finish();

  // The text of one report, for done of total bytes after elapsedMs.
  static std::string Text(uint64_t done, uint64_t total, int64_t elapsedMs);

 private:
  void Draw(bool force);

  ProgressStyle style_;
  uint64_t total_;
  std::atomic<uint64_t> bytes_{0};
  std::atomic_flag drawing_ = ATOMIC_FLAG_INIT;
  std::atomic<int64_t> lastDrawMs_{0};
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
};
