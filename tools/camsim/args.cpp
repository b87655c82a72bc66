#include "tools/camsim/args.h"

#include <cerrno>
#include <cstdlib>

namespace camsim {
namespace {

const char kUsage[] =
    "Usage: corvane-camsim [options]\n"
    "Simulates the DV camera on a pseudo-terminal. Prints the slave's path as\n"
    "the first line of standard output (and each new path after a come-back)\n"
    "and runs until SIGINT or SIGTERM.\n"
    "\n"
    "  --paced            send replies at 9600 baud (1.0417 ms a byte)\n"
    "  --line             model the whole line: as --paced, and the bytes the\n"
    "                     tester sends reach the camera at 9600 baud too\n"
    "  --think MS         wait MS ms after each frame before replying\n"
    "  --link PATH        make PATH a symbolic link to the slave (removed at exit)\n"
    "  --log FILE         log every frame, reply and fault, one line each:\n"
    "                     \"12.345678 RX 05807F\" (seconds since start)\n"
    "  --memory FILE      load the memory from FILE, save it after each write\n"
    "                     (two lines of 512 hex digits, or \"p aa vv\" lines)\n"
    "\n"
    "Faults (K: the K-th frame received, from 1; BYTE: two hex digits):\n"
    "  --silent           never reply\n"
    "  --silent-after K   reply to the first K frames only\n"
    "  --extra N[:BYTE][@K]  N extra bytes (default 00) after every reply,\n"
    "                     or after reply K only\n"
    "  --burst N[:BYTE][@K]  N bytes (default 55) after every reply, or reply K\n"
    "  --burst-instead    send the burst instead of the reply\n"
    "  --pause T@K[:J]    pause T ms after byte J (default 1) of reply K\n"
    "  --hangup-after K   close the line after the K-th frame is handled\n"
    "  --return-after MS  with --hangup-after: come back on a new line MS ms\n"
    "                     later (the --link is re-pointed to it)\n"
    "  --session-rounds N take N cell frames in one session (from a setup frame\n"
    "                     on), then answer only announce and setup frames until\n"
    "                     the next setup frame\n"
    "  --help             show this text\n";

// A decimal integer in [lo, hi], the whole text.
bool ParseInt(const std::string& s, long lo, long hi, int* out) {
  if (s.empty() || s[0] == '+' || s[0] == '-' || s[0] == ' ') return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

// One byte in hex, "0x" optional: "FF", "0x55", "7".
bool ParseHexByte(std::string s, std::uint8_t* out) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
  if (s.empty() || s.size() > 2) return false;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 16);
  if (*end != '\0' || s[0] == '-' || s[0] == '+' || s[0] == ' ') return false;
  *out = static_cast<std::uint8_t>(v);
  return true;
}

// Splits "a<sep>b" at the first sep; b is empty (and *found false) without it.
std::string SplitAt(const std::string& s, char sep, std::string* rest, bool* found) {
  const auto pos = s.find(sep);
  *found = pos != std::string::npos;
  *rest = *found ? s.substr(pos + 1) : "";
  return s.substr(0, pos);
}

constexpr long kMaxCount = 1 << 20;
constexpr long kMaxMs = 24L * 3600 * 1000;

// "N[:BYTE][@K]"
bool ParseBytesAt(const std::string& v, int* count, std::uint8_t* byte, int* at) {
  std::string atText, byteText;
  bool hasAt = false, hasByte = false;
  const std::string head = SplitAt(v, '@', &atText, &hasAt);
  const std::string countText = SplitAt(head, ':', &byteText, &hasByte);
  if (!ParseInt(countText, 1, kMaxCount, count)) return false;
  if (hasByte && !ParseHexByte(byteText, byte)) return false;
  if (hasAt && !ParseInt(atText, 1, kMaxCount, at)) return false;
  return true;
}

// "T@K[:J]"
bool ParsePause(const std::string& v, Faults* f) {
  std::string rest, jText;
  bool hasAt = false, hasJ = false;
  const std::string t = SplitAt(v, '@', &rest, &hasAt);
  if (!hasAt || !ParseInt(t, 1, kMaxMs, &f->pauseMs)) return false;
  const std::string k = SplitAt(rest, ':', &jText, &hasJ);
  if (!ParseInt(k, 1, kMaxCount, &f->pauseAt)) return false;
  return !hasJ || ParseInt(jText, 0, kMaxCount, &f->pauseAfterByte);
}

}  // namespace

const char* UsageText() {
  return kUsage;
}

ParseResult ParseArgs(int argc, const char* const* argv, CamsimOptions* options,
                      std::string* error) {
  Faults& f = options->faults;
  bool returnGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    const char* const takesValue[] = {
        "--think", "--link",  "--log",          "--memory",       "--silent-after",  "--extra",
        "--burst", "--pause", "--hangup-after", "--return-after", "--session-rounds"};
    std::string value;
    for (const char* name : takesValue) {
      if (flag != name) continue;
      if (i + 1 >= argc) {
        *error = flag + " needs a value";
        return ParseResult::kError;
      }
      value = argv[++i];
    }
    bool ok = true;
    if (flag == "--help" || flag == "-h") {
      return ParseResult::kHelp;
    } else if (flag == "--paced") {
      options->paced = true;
    } else if (flag == "--line") {
      options->line = true;
    } else if (flag == "--think") {
      ok = ParseInt(value, 0, kMaxMs, &options->thinkMs);
    } else if (flag == "--link") {
      options->linkPath = value;
      ok = !value.empty();
    } else if (flag == "--log") {
      options->logPath = value;
      ok = !value.empty();
    } else if (flag == "--memory") {
      options->memoryPath = value;
      ok = !value.empty();
    } else if (flag == "--silent") {
      f.silent = true;
    } else if (flag == "--silent-after") {
      ok = ParseInt(value, 1, kMaxCount, &f.silentAfter);
    } else if (flag == "--extra") {
      ok = ParseBytesAt(value, &f.extraCount, &f.extraByte, &f.extraAt);
    } else if (flag == "--burst") {
      ok = ParseBytesAt(value, &f.burstCount, &f.burstByte, &f.burstAt);
    } else if (flag == "--burst-instead") {
      f.burstInstead = true;
    } else if (flag == "--pause") {
      ok = ParsePause(value, &f);
    } else if (flag == "--hangup-after") {
      ok = ParseInt(value, 1, kMaxCount, &f.hangupAfter);
    } else if (flag == "--session-rounds") {
      ok = ParseInt(value, 1, kMaxCount, &f.sessionRounds);
    } else if (flag == "--return-after") {
      ok = ParseInt(value, 0, kMaxMs, &f.returnAfterMs);
      returnGiven = true;
    } else {
      *error = "unknown option " + flag + " (see --help)";
      return ParseResult::kError;
    }
    if (!ok) {
      *error = "bad value for " + flag + ": \"" + value + "\" (see --help)";
      return ParseResult::kError;
    }
  }
  if (returnGiven && f.hangupAfter == 0) {
    *error = "--return-after needs --hangup-after";
    return ParseResult::kError;
  }
  if (f.burstInstead && f.burstCount == 0) {
    *error = "--burst-instead needs --burst";
    return ParseResult::kError;
  }
  return ParseResult::kRun;
}

}  // namespace camsim
