// The memory map's figures, with the program headless in this process (the
// window model, the real engine) against a simulated camera that models
// the whole line at 9600 baud (camsim --line):
//   read all   the map's Read all of both pages, and corvane-cli dump of
//              both pages on the same camera right after it, each against
//              the session's line time (25.13 s); target: the map within
//              1.02 x the dump;
//   answers    during a Read all, the longest gap between two updates of
//              the window (its status line, changed after every cell), and
//              the time from a click on Cancel until the command says it
//              has ended (before it opens the port again);
//              target: both within one cell's line time (49 ms);
//   draw       one WM_PAINT of a whole grid (the 256 cells marked as
//              differing, the most drawing there is), mean and worst;
//              target: under 5 ms.
//   map_bench [RUNS]   (default 1; each run reads 1024 cells on the line)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CodeGrid.h"
#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"
#include "testing/process.h"
#include "testing/wait.h"
#include "tests/app/app_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using apptest::Ms;

constexpr double kByteSeconds = 10.0 / 9600;
// One session: opening (30 bytes out, 30 in), then 25 out and 22 in a cell.
constexpr double kLineSeconds = ((3 + 24 + 3) + (3 + 26 + 1) + 512 * 47.0) * kByteSeconds;
constexpr double kCellSeconds = 47 * kByteSeconds;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

struct MapFigures {
  double readAll = -1, longestGap = -1, cancel = -1;
};

MapFigures RunMap() {
  MapFigures f;
  apptest::Driver d(true);
  apptest::ProgramRun run(d);
  HWND main = run.PastAbout();
  HWND map = main ? apptest::OpenMemoryMap(d, main) : nullptr;
  if (!map || !d.WaitIdle(run.thread())) return f;
  // The map's own figure: from the click's handling to the last cell.
  const std::string status = apptest::ReadAll(d, map);
  if (std::sscanf(status.c_str(), "512 cells read in %lf s", &f.readAll) != 1) {
    std::fprintf(stderr, "map_bench: Read all ended with \"%s\"\n", status.c_str());
    f.readAll = -1;
  }
  // Again, watching the window, then Cancel after 100 cells.
  d.ClickNoWait(map, IDC_MAP_READ);
  std::string last = d.Text(map, IDC_MAP_STATUS);
  Clock::time_point changed = Clock::now();
  double gap = 0;
  int updates = 0;
  while (updates < 100) {
    const std::string now = d.Text(map, IDC_MAP_STATUS);
    if (now != last) {
      // From the second cell on: the first update follows the session's
      // opening as well.
      if (updates > 1) gap = std::max(gap, Since(changed));
      changed = Clock::now();
      last = now;
      ++updates;
    }
  }
  f.longestGap = gap;
  const Clock::time_point start = Clock::now();
  d.ClickNoWait(map, IDC_MAP_STOP);
  // The command has ended taking cells once it says so; it then opens the
  // port again, which ends the monitor thread.
  testsupport::WaitUntil([&] { return d.Text(map, IDC_MAP_STATUS).rfind("Cancelled", 0) == 0; },
                         Ms(10000));
  f.cancel = Since(start);
  testsupport::WaitUntil([&] { return d.Enabled(map, IDC_MAP_READ); }, Ms(10000));
  return f;
}

double RunDump(apptest::Ports& ports, const std::string& out) {
  const Clock::time_point start = Clock::now();
  const int status =
      testsupport::Run({CORVANE_CLI, "--port", "COM1", "-q", "dump", "-o", out}, ports.Env());
  return status == 0 ? Since(start) : -1;
}

// Paints on this thread: a dialog made from the map's template, its first
// grid with every cell read and differing from a file.
void Draw(double* mean, double* worst) {
  const auto* t = platform::ui::FindDialogTemplate(IDD_MEMORYMAP);
  CCodeGrid::RegisterCodeGridClass();
  HWND dlg = t ? platform::ui::CreateDialogFromTemplate(*t, nullptr, nullptr, nullptr) : nullptr;
  HWND h = dlg ? ::GetDlgItem(dlg, IDC_MAP_PAGE0) : nullptr;
  if (!h) return;
  CCodeGrid grid;
  grid.Attach(h);
  int file[256];
  for (int a = 0; a < 256; ++a) {
    grid.SetCode(a, a);
    file[a] = 255 - a;
  }
  grid.SetFile(file);
  constexpr int kPaints = 500;
  double total = 0;
  *worst = 0;
  for (int i = 0; i < kPaints; ++i) {
    const Clock::time_point start = Clock::now();
    ::SendMessageA(h, WM_PAINT, 0, 0);
    const double ms = Since(start) * 1000;
    total += ms;
    *worst = std::max(*worst, ms);
  }
  *mean = total / kPaints;
  grid.Detach();
  ::DestroyWindow(dlg);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  apptest::Ports ports;
  ports.Attach(1, {}, 0, true);
  testsupport::TempDir dir("map-bench");
  std::printf("line time of one session of 512 cells: %.2f s; one cell: %.1f ms\n", kLineSeconds,
              kCellSeconds * 1000);
  std::printf("%-4s %10s %10s %7s %14s %10s\n", "run", "read all", "cli dump", "ratio",
              "longest gap", "cancel");
  int failures = 0;
  for (int r = 1; r <= runs; ++r) {
    const MapFigures m = RunMap();
    const double dump = RunDump(ports, dir.File("dump.hex"));
    if (m.readAll < 0 || dump < 0 || m.cancel < 0) ++failures;
    std::printf("%-4d %9.2fs %9.2fs %7.3f %11.1f ms %7.1f ms\n", r, m.readAll, dump,
                dump > 0 ? m.readAll / dump : 0.0, m.longestGap * 1000, m.cancel * 1000);
  }
  double mean = 0, worst = 0;
  Draw(&mean, &worst);
  std::printf("draw the whole grid (256 cells, all marked): mean %.3f ms, worst %.3f ms\n", mean,
              worst);
  return failures == 0 ? 0 : 1;
}
