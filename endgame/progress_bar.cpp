// The build's progress bar: label, bar, share, elapsed time and the time
// left at the pace so far.
#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>

#include "clock.h"

ProgressBar::ProgressBar(std::string label, uint64_t total)
    : label_(std::move(label)),
      total_(total > 0 ? total : 1),
      shown_(isatty(STDERR_FILENO) == 1),
      start_ns_(MonotonicNs()) {}

void ProgressBar::Add(uint64_t done) {
  const uint64_t now = done_.fetch_add(done) + done;
  const int permille = static_cast<int>(now * 1000 / total_);
  if (!shown_ || permille == drawn_permille_.load()) return;
  std::unique_lock<std::mutex> lock(draw_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  drawn_permille_ = permille;
  Draw(now);
}

void ProgressBar::Draw(uint64_t done) {
  constexpr int kWidth = 30;
  const double share = static_cast<double>(done) / static_cast<double>(total_);
  const double seconds = static_cast<double>(MonotonicNs() - start_ns_) / 1e9;
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) bar[i] = i < static_cast<int>(share * kWidth) ? '#' : '.';
  bar[kWidth] = 0;
  const double left = share > 0.01 ? seconds * (1 - share) / share : 0;
  std::fprintf(stderr, "\r%s [%s] %5.1f%% %6.1f s, %5.0f s left ", label_.c_str(), bar, share * 100,
               seconds, left);
  std::fflush(stderr);
}

void ProgressBar::Finish() {
  if (!shown_) return;
  std::lock_guard<std::mutex> lock(draw_);
  Draw(done_.load());
  std::fputc('\n', stderr);
}
