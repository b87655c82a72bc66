// End to end on a real X server (run under tools/with-xvfb.sh): the real
// `corvane` binary on the FLTK backend, a simulated camera on COM1 (COM2 to
// COM4 mapped to paths that do not exist), and the user's actions through
// xdotool. Screenshots of the About box and of the main dialog after a Read
// are saved as artefacts.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/ui/windows.h"
#include "tools/camsim.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// The visible X window whose title matches the anchored regular
// expression, waiting up to 15 s; 0 if none.
unsigned long WaitWindow(const std::string& pattern) {
  auto deadline = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string out = Shell("xdotool search --onlyvisible --name '" + pattern + "' 2>/dev/null");
    if (!out.empty()) return std::stoul(out);
    std::this_thread::sleep_for(50ms);
  }
  return 0;
}

bool WaitNoWindow(const std::string& pattern) {
  auto deadline = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Shell("xdotool search --onlyvisible --name '" + pattern + "' 2>/dev/null").empty())
      return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

Geometry WindowGeometry(unsigned long window) {
  std::string out = Shell("xdotool getwindowgeometry --shell " + std::to_string(window));
  Geometry g;
  std::sscanf(out.c_str(), "WINDOW=%*u X=%d Y=%d WIDTH=%d HEIGHT=%d", &g.x, &g.y, &g.width,
              &g.height);
  return g;
}

// Clicks the middle of a control placed at (x, y, cx, cy) dialog units.
void ClickControl(unsigned long window, int x, int y, int cx, int cy) {
  using platform::ui::DialogUnitsToPixelsX;
  using platform::ui::DialogUnitsToPixelsY;
  Geometry g = WindowGeometry(window);
  int px = g.x + DialogUnitsToPixelsX(x) + DialogUnitsToPixelsX(cx) / 2;
  int py = g.y + DialogUnitsToPixelsY(y) + DialogUnitsToPixelsY(cy) / 2;
  Shell("xdotool mousemove --sync " + std::to_string(px) + " " + std::to_string(py) + " click 1");
}

// Saves the window's area of the screen as <artefacts>/<name>.png.
std::string Screenshot(unsigned long window, const std::string& name) {
  std::filesystem::create_directories(CORVANE_ARTIFACT_DIR);
  Geometry g = WindowGeometry(window);
  std::string path = std::string(CORVANE_ARTIFACT_DIR) + "/" + name + ".png";
  std::string crop = std::to_string(g.width) + "x" + std::to_string(g.height) + "+" +
                     std::to_string(g.x) + "+" + std::to_string(g.y);
  Shell("import -window root -crop " + crop + " " + path + " 2>/dev/null");
  return std::filesystem::exists(path) ? path : "";
}

// Waits up to `limit` for the child to end; its exit status, or -1.
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(20ms);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

TEST(EndToEnd, AboutBoxThenReadThroughTheWindowSendsTheEightFrames) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under tools/with-xvfb.sh";
  char dir[] = "/tmp/corvane-e2e.XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  std::string com1 = std::string(dir) + "/com1", log = std::string(dir) + "/camsim.log";

  camsim::CamsimOptions options;
  options.linkPath = com1;
  options.logPath = log;
  options.paced = true;  // bytes at the line's own speed
  std::string error;
  auto cam = camsim::Camsim::Start(options, &error);
  ASSERT_TRUE(cam) << error;
  cam->SetCell(0, 0xF8, 0x12);
  cam->SetCell(0, 0xF7, 0x34);

  ::setenv("CORVANE_COM1", com1.c_str(), 1);
  for (int n = 2; n <= 4; ++n)
    ::setenv(("CORVANE_COM" + std::to_string(n)).c_str(),
             ("/nonexistent/com" + std::to_string(n)).c_str(), 1);
  // In a sanitizer build: fontconfig keeps its caches until exit.
  ::setenv("LSAN_OPTIONS", "suppressions=" CORVANE_LSAN_SUPPRESSIONS, 1);
  pid_t pid = 0;
  char* argv[] = {const_cast<char*>(CORVANE_BINARY), nullptr};
  ASSERT_EQ(::posix_spawn(&pid, CORVANE_BINARY, nullptr, nullptr, argv, environ), 0);

  unsigned long about = WaitWindow("^About Corvane v\\. 2\\.0$");
  ASSERT_NE(about, 0u);
  std::this_thread::sleep_for(300ms);  // let it draw
  EXPECT_FALSE(Screenshot(about, "app-about").empty());
  // No port is touched while the About box is up.
  EXPECT_TRUE(cam->Log().empty());

  ClickControl(about, 235, 10, 32, 14);  // OK
  ASSERT_TRUE(WaitNoWindow("^About Corvane v\\. 2\\.0$"));
  unsigned long main = WaitWindow("^Corvane v\\. 2\\.0$");
  ASSERT_NE(main, 0u);
  std::this_thread::sleep_for(300ms);

  // The task bar shows the program's icon in both sizes under its class.
  std::string icon = Shell("xprop -id " + std::to_string(main) + " _NET_WM_ICON");
  EXPECT_NE(icon.find("32 x 32"), std::string::npos) << icon.substr(0, 200);
  EXPECT_NE(icon.find("16 x 16"), std::string::npos) << icon.substr(0, 200);
  std::string wmClass = Shell("xprop -id " + std::to_string(main) + " WM_CLASS");
  EXPECT_NE(wmClass.find("\"corvane\""), std::string::npos) << wmClass;

  ClickControl(main, 105, 70, 32, 15);  // Read
  ASSERT_TRUE(cam->WaitForFrames(8, 10000));
  ASSERT_TRUE(cam->WaitFor(camsim::LogKind::kTx, 8, 10000));
  std::this_thread::sleep_for(500ms);  // the fields are filled and drawn
  EXPECT_FALSE(Screenshot(main, "app-main-after-read").empty());

  // The camera's log file holds the eight frames.
  std::ifstream in(log);
  std::string line;
  int rx = 0;
  while (std::getline(in, line)) rx += line.find(" RX ") != std::string::npos;
  EXPECT_EQ(rx, 8);

  // Escape ends the dialog and with it the program.
  Shell("xdotool windowfocus --sync " + std::to_string(main) + " key Escape");
  EXPECT_EQ(WaitExit(pid, 15s), 0);
  cam.reset();
  std::filesystem::remove_all(dir);
}

}  // namespace
