// corvane-cli's dump against the simulated camera, as a technician runs it
// (both programs as their own processes): a dump in one read session, and
// one cell by cell (--safe), each against its own line time, and the two
// against each other.
//
//   cli_bench [--pacing=OPTION] [--page=0|1] [--runs=N]
//
// --pacing is the camera's pacing option: --paced (replies at 9600 baud;
// the default) or --line (the whole line at 9600 baud, both ways). The
// line time counts every byte of the dialogue at 10 bits a byte; the paced
// time only the bytes that the camera's pacing holds to the line's speed
// (with --paced its replies alone), which is the floor the dump can reach
// with that camera. Both pages are dumped unless --page names one.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "testing/process.h"
#include "testing/temp_dir.h"

namespace {

constexpr double kByteSeconds = 10.0 / 9600;

// Bytes of the dialogue: frames sent and replies received.
struct Bytes {
  double sent = 0, received = 0;
};
// One opening (announce, setup, close), then per cell announce, cell read
// and close.
Bytes SessionBytes(int cells) {
  return {(3 + 24 + 3) + cells * (3 + 19 + 3.0), (3 + 26 + 1) + cells * (3 + 18 + 1.0)};
}
// One Read transaction a cell: eight exchanges.
Bytes CellByCellBytes(int cells) {
  return {cells * (3 + 24 + 3 + 3 + 19 + 3 + 3 + 19.0),
          cells * (3 + 26 + 1 + 3 + 18 + 1 + 3 + 18.0)};
}

// corvane-camsim on a new pseudo-terminal, ended by SIGTERM.
class Camera {
 public:
  explicit Camera(const std::string& pacing)
      : process_({CORVANE_CAMSIM, pacing}, testsupport::kCaptureOutput),
        path_(process_.ReadLine()) {}
  ~Camera() {
    process_.Signal(SIGTERM);
    process_.Wait(std::chrono::seconds(10));
  }
  const std::string& path() const { return path_; }

 private:
  testsupport::Process process_;
  std::string path_;
};

// Runs one dump; its wall time in seconds, or a negative value on failure.
double Dump(const std::string& port, bool safe, const std::string& page, const std::string& out) {
  std::vector<std::string> args = {CORVANE_CLI, "--port", port, "-q"};
  if (safe) args.push_back("--safe");
  for (const char* a : {"dump", "--format", "raw", "-o"}) args.push_back(a);
  args.push_back(out);
  if (!page.empty()) {
    args.push_back("--page");
    args.push_back(page);
  }
  const auto start = std::chrono::steady_clock::now();
  if (testsupport::Process(args).Wait(std::chrono::minutes(10)) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Option(int argc, char** argv, const char* name, const char* fallback) {
  const std::string prefix = std::string(name) + "=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) return argv[i] + prefix.size();
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pacing = Option(argc, argv, "--pacing", "--paced");
  const std::string page = Option(argc, argv, "--page", "");
  const int runs = std::max(1, std::atoi(Option(argc, argv, "--runs", "1").c_str()));
  const bool whole = pacing == "--line";
  const int cells = page.empty() ? 512 : 256;

  Camera camera(pacing);
  if (camera.path().empty()) {
    std::fprintf(stderr, "cli_bench: the simulated camera did not start\n");
    return 1;
  }
  const testsupport::TempDir dir("cli-bench");
  const std::string out = dir.File("dump.raw");

  std::printf("corvane-camsim %s, %d cells, best of %d run(s)\n", pacing.c_str(), cells, runs);
  std::printf("%-14s %9s %11s %7s %12s %7s\n", "dump", "time", "line time", "ratio", "paced time",
              "ratio");
  double best[2] = {1e9, 1e9};
  for (int safe = 0; safe <= 1; ++safe) {
    for (int r = 0; r < runs; ++r) {
      const double t = Dump(camera.path(), safe != 0, page, out);
      if (t < 0) {
        std::fprintf(stderr, "cli_bench: the dump failed\n");
        return 1;
      }
      best[safe] = std::min(best[safe], t);
    }
    const Bytes b = safe ? CellByCellBytes(cells) : SessionBytes(cells);
    const double line = (b.sent + b.received) * kByteSeconds;
    const double paced = (whole ? b.sent + b.received : b.received) * kByteSeconds;
    std::printf("%-14s %7.2f s %9.2f s %7.3f %10.2f s %7.3f\n", safe ? "cell by cell" : "session",
                best[safe], line, best[safe] / line, paced, best[safe] / paced);
  }
  std::printf("session against cell by cell: %.2f times faster\n", best[1] / best[0]);
  return 0;
}
