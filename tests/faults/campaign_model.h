// The fault campaign's cases and its oracle.
//
// A case is one Read or Write of a cell against the simulated camera with
// one fault, all drawn from a 64-bit case seed. The oracle gives every
// outcome that the transaction rules allow for that fault, worked out from
// the bytes the camera emits and when, not from the program:
// - each received byte wakes the transaction, which may look at the reply
//   after any byte but surely looks after the last byte of a run (the line
//   then stays silent for at least 1.9 s);
// - a step completes at the first look at which its recogniser holds, and
//   times out when the line is silent for 2 s without that;
// - bytes of the same step that come after the look that completed it are
//   either discarded (stored and cleared, or purged by the next send) or,
//   if they arrive after the next frame's purge, start the next reply.
// Hang-ups are judged separately (their boxes come from the line failing).
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace faults {

enum class FaultKind {
  kNone,
  kSilence,    // the camera answers steps 1..k-1, then nothing
  kExtraByte,  // one extra byte right after reply k
  kBurst,      // 45 to 64 bytes after reply k, or instead of it
  kPause1900,  // a pause of 1.9 s inside reply k
  kPause2100,  // a pause of 2.1 s inside reply k
  kHangUp,     // the line hangs up after step k and comes back
  kKindCount,
};

const char* KindName(FaultKind kind);

struct Case {
  std::uint64_t seed = 0;
  bool write = false;
  int page = 0;
  int address = 0;
  std::uint8_t refCode = 0;   // the camera's code at page 0, F8
  std::uint8_t cellCode = 0;  // the camera's code in the cell before the case
  std::uint8_t newCode = 0;   // Write: the code written
  FaultKind kind = FaultKind::kNone;
  int step = 0;  // 1..8: the step (exchange) the fault is at
  std::uint8_t byte = 0;
  int count = 0;         // burst length
  bool instead = false;  // burst instead of the reply
  int pauseAfter = 0;    // pause before byte pauseAfter of the reply (0-based)
  int returnMs = 0;      // hang-up: the line is back after this long

  std::string Describe() const;
};

// splitmix64: the seed of case `index` of a campaign.
std::uint64_t CaseSeed(std::uint64_t campaignSeed, std::uint64_t index);
Case MakeCase(std::uint64_t caseSeed);

// The eight frames of the case's transaction, as upper-case hex.
std::vector<std::string> ExpectedFrames(const Case& c);
// The reply the camera gives (without faults) at step 1..8 of the case.
std::vector<std::uint8_t> CameraReply(const Case& c, int step);
// The failure text a time-out at step 1..8 gives.
std::string FailureText(bool write, int step);

struct Outcome {
  std::string result;   // the text the transaction returns
  int timeoutStep = 0;  // 0: no time-out (no box); else the step, one box
  int Frames() const { return timeoutStep == 0 ? 8 : timeoutStep; }
  bool operator<(const Outcome& o) const {
    return result != o.result ? result < o.result : timeoutStep < o.timeoutStep;
  }
  bool operator==(const Outcome& o) const {
    return result == o.result && timeoutStep == o.timeoutStep;
  }
};

std::string Describe(const Outcome& o);

// Every outcome the rules allow for a case that is not a hang-up. The first
// element of the pair is the outcome when every look comes as late as it
// can (the camera's bytes of a run all stored before the look); it is
// always in the set.
struct Allowed {
  Outcome primary;
  std::set<Outcome> all;
};
Allowed AllowedOutcomes(const Case& c);

}  // namespace faults
