// Time on the monotonic clock for time-outs: the current time, a deadline,
// and what is left of it in whole milliseconds for poll(). Plain POSIX, no
// Win32: the services and the simulated camera both use it. Any thread.
#pragma once

#include <time.h>

#include <climits>
#include <cstdint>

namespace platform {

using Nanos = std::int64_t;  // nanoseconds on CLOCK_MONOTONIC
constexpr Nanos kNsPerMs = 1'000'000;
constexpr Nanos kNsPerSecond = 1'000'000'000;

inline Nanos MonotonicNs() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<Nanos>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

// A point on the monotonic clock by which something is due, or never.
class Deadline {
 public:
  static Deadline Never() { return Deadline(); }
  static Deadline At(Nanos at) { return Deadline(at); }
  static Deadline InNs(Nanos ns) { return Deadline(MonotonicNs() + ns); }
  static Deadline InMs(std::int64_t ms) { return InNs(ms * kNsPerMs); }

  bool IsNever() const { return never_; }
  Nanos at() const { return at_; }
  bool Passed(Nanos now = MonotonicNs()) const { return !never_ && now >= at_; }
  Nanos NsLeft(Nanos now = MonotonicNs()) const { return at_ > now ? at_ - now : 0; }
  // What is left in milliseconds, rounded up so that a wait of that length
  // never ends before the deadline: 0 once it has passed, -1 (poll's "no
  // limit") for Never. A wait longer than poll() takes is cut to INT_MAX ms
  // (the caller looks at the deadline again after it).
  int MsLeft(Nanos now = MonotonicNs()) const {
    if (never_) return -1;
    const Nanos ms = (NsLeft(now) + kNsPerMs - 1) / kNsPerMs;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
  }
  // For clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, ...).
  timespec ToTimespec() const {
    return timespec{static_cast<time_t>(at_ / kNsPerSecond), static_cast<long>(at_ % kNsPerSecond)};
  }

 private:
  Deadline() = default;
  explicit Deadline(Nanos at) : at_(at), never_(false) {}

  Nanos at_ = 0;
  bool never_ = true;
};

}  // namespace platform
