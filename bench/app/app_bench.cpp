// Figures of the real `corvane` binary on an X display (run it under
// scripts/with-xvfb.sh from a Release build):
//   start    time from spawning the process to the About box being mapped
//            on the display (median and range of several runs; the probe
//            comes after the box, so no port is involved);
//   idle     over 60 s with the main dialog open and COM1 open on a
//            simulated camera, nothing happening: the voluntary context
//            switches of all the program's threads (each one a wake-up
//            from a sleep) and their CPU time;
//   peak RSS the process's high-water mark of resident memory after that,
//            and after one Read through the window.
// Targets: start < 150 ms, peak RSS < 15 MiB, idle: no wake-up at all and
// CPU < 5 ms.
//   app_bench [RUNS [IDLE_SECONDS]]   (defaults 10 and 60)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/model/windows.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "tools/camsim/camsim.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kAboutTitle = "About Corvane v. 2.0";
constexpr const char* kMainTitle = "Corvane v. 2.0";

// Watches the root window for top-levels being mapped.
class MapWatch {
 public:
  MapWatch() : dpy_(XOpenDisplay(nullptr)) {
    if (dpy_) XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);
  }
  ~MapWatch() {
    if (dpy_) XCloseDisplay(dpy_);
  }
  bool ok() const { return dpy_ != nullptr; }

  // Waits for a window titled `title` to be mapped; its id, or 0.
  Window WaitMapped(const char* title, std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      while (XPending(dpy_)) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        if (ev.type != MapNotify) continue;
        char* name = nullptr;
        bool match = XFetchName(dpy_, ev.xmap.window, &name) && name && !strcmp(name, title);
        if (name) XFree(name);
        if (match) return ev.xmap.window;
      }
      std::this_thread::sleep_for(200us);
    }
    return 0;
  }

  void Geometry(Window w, int* x, int* y) {
    Window child;
    XTranslateCoordinates(dpy_, w, DefaultRootWindow(dpy_), 0, 0, x, y, &child);
  }

 private:
  Display* dpy_;
};

// The program with COM1 at `com1` (COM2 to COM4 reach nothing); killed
// when the object goes.
std::unique_ptr<testsupport::Process> Spawn(const std::string& com1) {
  return std::make_unique<testsupport::Process>(std::vector<std::string>{CORVANE_BINARY}, 0u,
                                                testsupport::ComPortEnv({com1}));
}

// The /proc directories of every thread of pid.
std::vector<std::string> ThreadDirs(pid_t pid) {
  std::string dir = "/proc/" + std::to_string(pid) + "/task";
  std::vector<std::string> dirs;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') dirs.push_back(dir + "/" + e->d_name);
    closedir(d);
  }
  return dirs;
}

// CPU time of every thread of pid, in ns (first field of schedstat).
long long CpuNs(pid_t pid) {
  long long total = 0;
  for (const std::string& dir : ThreadDirs(pid)) {
    std::ifstream in(dir + "/schedstat");
    long long ns = 0;
    if (in >> ns) total += ns;
  }
  return total;
}

// Voluntary context switches of every thread of pid: how often its threads
// went to sleep, and so were woken again.
long long VoluntarySwitches(pid_t pid) {
  long long total = 0;
  for (const std::string& dir : ThreadDirs(pid)) {
    std::ifstream in(dir + "/status");
    std::string line;
    while (std::getline(in, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stoll(line.substr(24));
  }
  return total;
}

long PeakRssKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

void Sh(const std::string& command) {
  if (testsupport::Run({"/bin/sh", "-c", command}) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 10;
  int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
  if (runs < 1 || idleSeconds < 1) {
    std::fprintf(stderr, "usage: app_bench [RUNS [IDLE_SECONDS]]\n");
    return 2;
  }
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "app_bench: needs an X display (run it under scripts/with-xvfb.sh)\n");
    return 1;
  }
  const testsupport::TempDir dir("bench");
  const std::string com1 = dir.File("com1");

  // Start-up: several runs, each ended once the box is mapped.
  std::vector<double> startMs;
  for (int i = 0; i < runs + 1; ++i) {
    MapWatch watch;
    if (!watch.ok()) return 1;
    auto t0 = Clock::now();
    auto program = Spawn("");
    Window about = program->started() ? watch.WaitMapped(kAboutTitle, 10s) : 0;
    auto t1 = Clock::now();
    program.reset();
    if (!about) {
      std::fprintf(stderr, "app_bench: the About box did not appear\n");
      return 1;
    }
    // The first run warms the file cache and is not counted.
    if (i > 0) startMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(startMs.begin(), startMs.end());

  // Idle and memory: the main dialog open on COM1 with a camera behind it.
  camsim::CamsimOptions options;
  options.linkPath = com1;
  auto cam = camsim::Camsim::Start(options);
  if (!cam) return 1;
  MapWatch watch;
  auto program = Spawn(com1);
  const pid_t pid = program->pid();
  Window about = watch.WaitMapped(kAboutTitle, 10s);
  if (!about) return 1;
  Sh("xdotool windowfocus --sync " + std::to_string(about) + " key Return");
  Window main = watch.WaitMapped(kMainTitle, 10s);
  if (!main) return 1;
  std::this_thread::sleep_for(1s);  // let the first drawing settle
  long long cpu0 = CpuNs(pid);
  long long switches0 = VoluntarySwitches(pid);
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  long long cpu1 = CpuNs(pid);
  long long switches1 = VoluntarySwitches(pid);
  int threads = static_cast<int>(ThreadDirs(pid).size());
  long rssIdle = PeakRssKiB(pid);

  int x = 0, y = 0;
  watch.Geometry(main, &x, &y);
  using platform::ui::DialogUnitsToPixelsX;
  using platform::ui::DialogUnitsToPixelsY;
  int px = x + DialogUnitsToPixelsX(105) + DialogUnitsToPixelsX(32) / 2;
  int py = y + DialogUnitsToPixelsY(70) + DialogUnitsToPixelsY(15) / 2;
  Sh("xdotool mousemove --sync " + std::to_string(px) + " " + std::to_string(py) + " click 1");
  bool read = cam->WaitForFrames(8, 10000) && cam->WaitFor(camsim::LogKind::kTx, 8, 10000);
  std::this_thread::sleep_for(300ms);
  long rssRead = PeakRssKiB(pid);
  program.reset();
  cam.reset();

  double median = startMs[startMs.size() / 2];
  double idleMs = static_cast<double>(cpu1 - cpu0) / 1e6;
  long long wakeUps = switches1 - switches0;
  std::printf(
      "start to About box mapped: median %.1f ms (min %.1f, max %.1f, %zu runs)  target < 150 ms: "
      "%s\n",
      median, startMs.front(), startMs.back(), startMs.size(), median < 150 ? "met" : "MISSED");
  std::printf(
      "idle %d s, main dialog open, %d threads: %lld voluntary context switches  target 0: %s\n",
      idleSeconds, threads, wakeUps, wakeUps == 0 ? "met" : "MISSED");
  std::printf("CPU in those %d s: %.3f ms  target < 5 ms: %s\n", idleSeconds, idleMs,
              idleMs < 5 ? "met" : "MISSED");
  std::printf("peak RSS: %.1f MiB idle, %.1f MiB after a Read%s  target < 15 MiB: %s\n",
              rssIdle / 1024.0, rssRead / 1024.0, read ? "" : " (the Read did not complete)",
              rssRead < 15 * 1024 ? "met" : "MISSED");
  return 0;
}
