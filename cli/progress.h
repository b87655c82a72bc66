// The progress bar of the long commands, on standard error: cells done of
// all, the time per cell, the time left. Drawn only when standard error is
// a terminal and the user did not ask for quiet; at most ten times a second.
// Main thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace cli {

class Progress {
 public:
  Progress(std::size_t total, bool wanted);
  ~Progress();  // clears the bar
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(std::size_t done);
  // Removes the bar from the screen (before other output).
  void Clear();

 private:
  std::size_t total_;
  bool draw_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_, lastDraw_;
};

// Seconds as "25.3 s".
std::string SecondsText(double seconds);

}  // namespace cli
