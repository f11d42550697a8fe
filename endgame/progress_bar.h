// A progress bar on stderr for a long build: drawn only when stderr is a
// terminal, redrawn when the shown share changes, safe to feed from many
// threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class ProgressBar {
 public:
  ProgressBar(std::string label, uint64_t total);
  void Add(uint64_t done);
  void Finish();

 private:
  void Draw(uint64_t done);

  std::string label_;
  uint64_t total_;
  bool shown_;
  int64_t start_ns_;
  std::atomic<uint64_t> done_{0};
  std::atomic<int> drawn_permille_{-1};
  std::mutex draw_;
};
