#include "tests/faults/campaign_model.h"

#include <cstdio>
#include <map>
#include <utility>

#include "testing/hex.h"
#include "tools/camsim/frames.h"

namespace faults {
namespace {

using camsim::Bytes;
using camsim::FrameKind;
using testhex::ToHex;

// How a step knows its reply is complete: by text (announce, close) or by
// count (the others), and whether it yields a code.
struct StepRule {
  bool text;
  Bytes image;         // text steps
  std::size_t length;  // count steps
  bool collect;
};

constexpr std::size_t kReplyCapacity = 44;

StepRule RuleFor(const Case& c, int step) {
  switch (step) {
    case 1:
    case 4:
    case 7:
      return {true, {0x06, 0x80, 0x7F}, 0, false};
    case 3:
    case 6:
      return {true, {0x06}, 0, false};
    case 2:
      return {false, {}, 26, false};
    case 5:
      return {false, {}, 18, !c.write};
    default:
      return {false, {}, 18, true};
  }
}

// The recogniser as the rules state it, on the bytes received since the
// clear (the buffer keeps the first 44).
bool Holds(const StepRule& rule, const Bytes& received) {
  if (!rule.text) return received.size() == rule.length;
  const std::size_t held = std::min(received.size(), kReplyCapacity);
  std::size_t n = 0;
  while (n < held && received[n] != 0) ++n;
  return n == rule.image.size() &&
         std::equal(rule.image.begin(), rule.image.end(), received.begin());
}

std::string CodeAt(const Bytes& received) {
  const std::uint8_t b = received.size() > 9 ? received[9] : 0;  // the buffer is cleared to zero
  return ToHex(Bytes{b});
}

// The runs of bytes the camera emits for step `step`: a look surely comes
// after each run. A run after a 2.1 s pause is beyond the time-out and left
// out.
std::vector<Bytes> Emission(const Case& c, int step) {
  const Bytes reply = CameraReply(c, step);
  const bool here = step == c.step;
  switch (c.kind) {
    case FaultKind::kSilence:
      if (step >= c.step) return {};
      break;
    case FaultKind::kExtraByte:
      if (here) {
        Bytes b = reply;
        b.push_back(c.byte);
        return {b};
      }
      break;
    case FaultKind::kBurst:
      if (here) {
        Bytes b = c.instead ? Bytes{} : reply;
        b.insert(b.end(), static_cast<std::size_t>(c.count), c.byte);
        return {b};
      }
      break;
    case FaultKind::kPause1900:
    case FaultKind::kPause2100:
      if (here) {
        const auto cut = reply.begin() + c.pauseAfter;
        std::vector<Bytes> runs;
        if (c.pauseAfter > 0) runs.emplace_back(reply.begin(), cut);
        if (c.kind == FaultKind::kPause1900) runs.emplace_back(cut, reply.end());
        return runs;
      }
      break;
    default:
      break;
  }
  return {reply};
}

struct Partial {
  std::string codes;
  int timeoutStep = 0;
  bool operator<(const Partial& o) const {
    return codes != o.codes ? codes < o.codes : timeoutStep < o.timeoutStep;
  }
};

class Explorer {
 public:
  explicit Explorer(const Case& c) : c_(c) {}

  // Outcomes of steps `step`..8 when `pending` arrives after the purge of
  // step `step`'s frame, before its reply.
  const std::set<Partial>& Run(int step, const Bytes& pending) {
    auto key = std::make_pair(step, pending);
    auto it = memo_.find(key);
    if (it != memo_.end()) return it->second;
    std::set<Partial> out;
    if (step > 8) {
      out.insert(Partial{});
      return memo_[key] = out;
    }
    const StepRule rule = RuleFor(c_, step);
    std::vector<Bytes> runs = Emission(c_, step);
    if (!pending.empty()) {
      if (runs.empty()) runs.push_back({});
      runs.front().insert(runs.front().begin(), pending.begin(), pending.end());
    }
    Bytes received;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      for (std::size_t m = 0; m < runs[r].size(); ++m) {
        received.push_back(runs[r][m]);
        if (!Holds(rule, received)) continue;
        const std::string code = rule.collect ? CodeAt(received) : std::string();
        // The rest of this run may be discarded or start the next reply
        // (any tail of it); later runs come after the next send for sure.
        Bytes later;
        for (std::size_t q = r + 1; q < runs.size(); ++q)
          later.insert(later.end(), runs[q].begin(), runs[q].end());
        const Bytes rest(runs[r].begin() + static_cast<long>(m) + 1, runs[r].end());
        for (std::size_t skip = 0; skip <= rest.size(); ++skip) {
          Bytes next(rest.begin() + static_cast<long>(skip), rest.end());
          next.insert(next.end(), later.begin(), later.end());
          for (const Partial& p : Run(step + 1, next)) out.insert({code + p.codes, p.timeoutStep});
        }
        if (m + 1 == runs[r].size()) return memo_[key] = out;  // a sure look: no time-out
      }
    }
    out.insert(Partial{"", step});
    return memo_[key] = out;
  }

  // The outcome when the transaction looks only after whole runs.
  Partial Primary() {
    Partial p;
    for (int step = 1; step <= 8; ++step) {
      const StepRule rule = RuleFor(c_, step);
      Bytes received;
      bool done = false;
      for (const Bytes& run : Emission(c_, step)) {
        received.insert(received.end(), run.begin(), run.end());
        if (!run.empty() && Holds(rule, received)) {
          done = true;
          break;
        }
      }
      if (!done) return Partial{"", step};
      if (rule.collect) p.codes += CodeAt(received);
    }
    return p;
  }

 private:
  const Case& c_;
  std::map<std::pair<int, Bytes>, std::set<Partial>> memo_;
};

Outcome Finish(const Case& c, const Partial& p) {
  if (p.timeoutStep != 0) return {FailureText(c.write, p.timeoutStep), p.timeoutStep};
  return {p.codes, 0};
}

std::uint64_t Next(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

const char* KindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kNone:
      return "none";
    case FaultKind::kSilence:
      return "silence";
    case FaultKind::kExtraByte:
      return "extra-byte";
    case FaultKind::kBurst:
      return "burst";
    case FaultKind::kPause1900:
      return "pause-1.9s";
    case FaultKind::kPause2100:
      return "pause-2.1s";
    case FaultKind::kHangUp:
      return "hang-up";
    default:
      return "?";
  }
}

std::string Case::Describe() const {
  char text[256];
  char codes[64];
  if (write) {
    std::snprintf(codes, sizeof codes, "ref %02X, cell %02X, new %02X", refCode, cellCode, newCode);
  } else {
    std::snprintf(codes, sizeof codes, "ref %02X, cell %02X", refCode, cellCode);
  }
  std::snprintf(text, sizeof text,
                "case seed 0x%016llx: %s page %d address %02X (%s), fault %s at step %d",
                static_cast<unsigned long long>(seed), write ? "Write" : "Read", page, address,
                codes, KindName(kind), step);
  std::string s = text;
  switch (kind) {
    case FaultKind::kExtraByte:
      std::snprintf(text, sizeof text, " (byte %02X)", byte);
      s += text;
      break;
    case FaultKind::kBurst:
      std::snprintf(text, sizeof text, " (%d bytes %02X %s the reply)", count, byte,
                    instead ? "instead of" : "after");
      s += text;
      break;
    case FaultKind::kPause1900:
    case FaultKind::kPause2100:
      std::snprintf(text, sizeof text, " (before reply byte %d)", pauseAfter);
      s += text;
      break;
    case FaultKind::kHangUp:
      std::snprintf(text, sizeof text, " (back after %d ms)", returnMs);
      s += text;
      break;
    default:
      break;
  }
  return s;
}

std::uint64_t CaseSeed(std::uint64_t campaignSeed, std::uint64_t index) {
  std::uint64_t state = campaignSeed ^ (index * 0xD1B54A32D192ED03ull);
  return Next(state);
}

Case MakeCase(std::uint64_t caseSeed) {
  std::uint64_t state = caseSeed;
  Case c;
  c.seed = caseSeed;
  c.write = Next(state) & 1;
  c.page = static_cast<int>(Next(state) & 1);
  c.address = static_cast<int>(Next(state) & 0xFF);
  c.refCode = static_cast<std::uint8_t>(Next(state));
  c.cellCode = static_cast<std::uint8_t>(Next(state));
  c.newCode = static_cast<std::uint8_t>(Next(state));
  if (c.page == 0 && c.address == 0xF8) c.cellCode = c.refCode;  // the same cell
  c.kind = static_cast<FaultKind>(Next(state) % static_cast<int>(FaultKind::kKindCount));
  c.step = 1 + static_cast<int>(Next(state) % 8);
  static const std::uint8_t kBytes[] = {0x00, 0x06, 0x55, 0x7F, 0x10};
  const std::uint64_t pick = Next(state) % 6;
  c.byte = pick < 5 ? kBytes[pick] : static_cast<std::uint8_t>(Next(state));
  c.count = 45 + static_cast<int>(Next(state) % 20);
  c.instead = Next(state) & 1;
  c.pauseAfter = static_cast<int>(Next(state) % CameraReply(c, c.step).size());
  c.returnMs = static_cast<int>(Next(state) % 1000);
  return c;
}

std::vector<std::string> ExpectedFrames(const Case& c) {
  const std::string announce = ToHex(camsim::AnnounceFrame());
  const std::string close = ToHex(camsim::CloseFrame());
  const std::string cell = c.write ? ToHex(camsim::CellWriteFrame(c.page, c.address, c.newCode))
                                   : ToHex(camsim::CellReadFrame(0, 0xF8));
  return {announce, ToHex(camsim::SetupFrame()),
          close,    announce,
          cell,     close,
          announce, ToHex(camsim::CellReadFrame(c.page, c.address))};
}

std::vector<std::uint8_t> CameraReply(const Case& c, int step) {
  switch (step) {
    case 1:
    case 4:
    case 7:
      return camsim::ReplyFor(FrameKind::kAnnounce, 0);
    case 2:
      return camsim::ReplyFor(FrameKind::kSetup, 0);
    case 3:
    case 6:
      return camsim::ReplyFor(FrameKind::kClose, 0);
    case 5:
      return c.write ? camsim::ReplyFor(FrameKind::kCellWrite, c.newCode)
                     : camsim::ReplyFor(FrameKind::kCellRead, c.refCode);
    default:
      return camsim::ReplyFor(FrameKind::kCellRead, c.write ? c.newCode : c.cellCode);
  }
}

std::string FailureText(bool write, int step) {
  if (!write) return "XXXX";
  if (step == 3) return "XXXXF";
  if (step == 8) return "FFFF";
  return "XXXX";
}

std::string Describe(const Outcome& o) {
  return "\"" + o.result + "\"" +
         (o.timeoutStep != 0 ? " (time-out at step " + std::to_string(o.timeoutStep) + ")"
                             : std::string(" (no time-out)"));
}

Allowed AllowedOutcomes(const Case& c) {
  Explorer explorer(c);
  Allowed allowed;
  allowed.primary = Finish(c, explorer.Primary());
  for (const Partial& p : explorer.Run(1, {})) allowed.all.insert(Finish(c, p));
  allowed.all.insert(allowed.primary);
  return allowed;
}

}  // namespace faults
