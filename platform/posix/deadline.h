// Time on the monotonic clock for time-outs: the current time, and a
// deadline: a point on that clock by which something is due, or never,
// with what is left of it in the units poll() and clock_nanosleep() take.
// Plain POSIX, no Win32: every layer and the simulated camera use it. A
// Deadline is a value; any thread.
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

class Deadline {
 public:
  // Never: a wait for it has no limit. (A default Deadline is Never too.)
  Deadline() = default;
  static Deadline Never() { return Deadline(); }
  static Deadline At(Nanos at) { return Deadline(at); }
  static Deadline Now() { return Deadline(MonotonicNs()); }
  static Deadline InNs(Nanos ns) { return Deadline(MonotonicNs() + ns); }
  static Deadline InMs(std::int64_t ms) { return InNs(ms * kNsPerMs); }
  // The earlier of two deadlines (Never is later than any time).
  static Deadline Earliest(Deadline a, Deadline b) {
    if (a.never_) return b;
    if (b.never_) return a;
    return a.at_ <= b.at_ ? a : b;
  }

  bool IsNever() const { return never_; }
  // The time on the monotonic clock; only for a deadline that is not Never.
  Nanos at() const { return at_; }
  // ns later; Never stays Never.
  Deadline After(Nanos ns) const { return never_ ? *this : Deadline(at_ + ns); }
  bool Passed(Nanos now = MonotonicNs()) const { return !never_ && now >= at_; }
  // What is left, 0 once passed; for Never, INT64_MAX.
  Nanos NsLeft(Nanos now = MonotonicNs()) const {
    if (never_) return INT64_MAX;
    return at_ > now ? at_ - now : 0;
  }
  // What is left in milliseconds, rounded up so that a wait of that length
  // never ends before the deadline: 0 once it has passed, -1 (poll's "no
  // limit") for Never. A wait longer than poll() takes is cut to INT_MAX ms
  // (the caller looks at the deadline again after it).
  int MsLeft(Nanos now = MonotonicNs()) const {
    if (never_) return -1;
    const Nanos ms = (NsLeft(now) + kNsPerMs - 1) / kNsPerMs;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
  }
  // For clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, ...); only for a
  // deadline that is not Never.
  timespec ToTimespec() const {
    return timespec{static_cast<time_t>(at_ / kNsPerSecond), static_cast<long>(at_ % kNsPerSecond)};
  }

 private:
  explicit Deadline(Nanos at) : at_(at), never_(false) {}

  Nanos at_ = 0;
  bool never_ = true;
};

}  // namespace platform
