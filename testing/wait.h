// Waiting for a condition that another thread or process brings about.
#pragma once

#include <algorithm>
#include <chrono>
#include <thread>

namespace testsupport {

// Checks `condition` until it holds or `timeout` has passed; TRUE if it
// held. The pauses between checks grow from 1 ms to 20 ms, so that a
// condition met at once costs little and a slow one (a shell command each
// time) is not checked in a busy loop. The condition runs on the caller's
// thread and is checked once more at the deadline.
template <class Condition>
bool WaitUntil(Condition&& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  std::chrono::milliseconds pause(1);
  for (;;) {
    if (condition()) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
}

}  // namespace testsupport
