#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace cli {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedraw = std::chrono::milliseconds(100);

}  // namespace

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

Progress::Progress(std::size_t total, bool wanted)
    : total_(total),
      draw_(wanted && total > 0 && ::isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
  Clear();
}

void Progress::Update(std::size_t done) {
  if (!draw_) return;
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && done < total_ && now - lastDraw_ < kRedraw) return;
  lastDraw_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const int filled = static_cast<int>(kBarWidth * done / total_);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  char line[160];
  if (done == 0) {
    std::snprintf(line, sizeof line, "\r[%s] %zu/%zu cells", bar.c_str(), done, total_);
  } else {
    const double perCell = elapsed / static_cast<double>(done);
    std::snprintf(line, sizeof line, "\r[%s] %zu/%zu cells, %.0f ms a cell, %.0f s left ",
                  bar.c_str(), done, total_, perCell * 1000,
                  perCell * static_cast<double>(total_ - done));
  }
  std::fputs(line, stderr);
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace cli
