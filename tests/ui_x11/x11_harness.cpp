#include "tests/ui_x11/x11_harness.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "testing/process.h"

namespace x11test {

int Shell(const std::string& command, std::string* out) {
  std::string text, err;
  const int status =
      testsupport::Run({"/bin/sh", "-c", command}, {}, &text, &err, std::chrono::minutes(1));
  std::fputs(err.c_str(), stderr);  // as a shell's messages would show
  if (out) *out = text;
  return status;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q.push_back(c);
    }
  }
  return q + "'";
}

namespace {

unsigned long FindWindow(const std::string& title) {
  std::string out;
  // Titles of the tests have no regular-expression characters but '.'.
  std::string pattern = "^";
  for (char c : title) {
    if (c == '.') pattern += '\\';
    pattern.push_back(c);
  }
  pattern += "$";
  if (Shell("xdotool search --onlyvisible --name " + Quote(pattern) + " 2>/dev/null", &out) != 0) {
    return 0;
  }
  return std::strtoul(out.c_str(), nullptr, 10);
}

}  // namespace

unsigned long WaitWindow(const std::string& title, std::chrono::milliseconds timeout) {
  unsigned long id = 0;
  WaitUntil([&] { return (id = FindWindow(title)) != 0; }, timeout);
  return id;
}

bool WaitNoWindow(const std::string& title, std::chrono::milliseconds timeout) {
  return WaitUntil([&] { return FindWindow(title) == 0; }, timeout);
}

Geometry WindowGeometry(unsigned long window) {
  // xwininfo, not xdotool: under a window manager that reparents windows
  // into frames, xdotool counts the frame's offset twice.
  std::string out;
  Shell("xwininfo -id " + std::to_string(window), &out);
  Geometry g;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, colon);
    key.erase(0, key.find_first_not_of(' '));
    int value = std::atoi(line.c_str() + colon + 1);
    if (key == "Absolute upper-left X") g.x = value;
    if (key == "Absolute upper-left Y") g.y = value;
    if (key == "Width") g.width = value;
    if (key == "Height") g.height = value;
  }
  return g;
}

std::set<unsigned long> UnnamedWindows() {
  std::string out;
  Shell("xwininfo -root -children 2>/dev/null", &out);
  std::istringstream in(out);
  std::set<unsigned long> ids;
  for (std::string line; std::getline(in, line);) {
    // "     0x200020 (has no name): ()  137x37+31+140  +31+140"
    const auto at = line.find("(has no name): ()");
    int w = 0, h = 0;
    if (at != std::string::npos && std::sscanf(line.c_str() + at + 17, " %dx%d", &w, &h) == 2 &&
        w > 1 && h > 1) {
      ids.insert(std::strtoul(line.c_str(), nullptr, 16));
    }
  }
  return ids;
}

bool WaitPopupMenu(bool open, std::chrono::milliseconds timeout) {
  return WaitUntil([open] { return UnnamedWindows().empty() != open; }, timeout);
}

int UnitsX(int x) {
  return static_cast<int>(std::lround(x * 1.5));
}
int UnitsY(int y) {
  return static_cast<int>(std::lround(y * 1.625));
}

void ClickAt(int x, int y, int button) {
  // No --sync: it waits for the pointer to move, forever if it is already
  // there. The server handles the motion before the click either way.
  Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " +
        std::to_string(button));
}

void MovePointer(int x, int y) {
  Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
}

void ClickDialogUnits(unsigned long window, int x, int y, int cx, int cy, int button) {
  Geometry g = WindowGeometry(window);
  ClickAt(g.x + UnitsX(x) + UnitsX(cx) / 2, g.y + UnitsY(y) + UnitsY(cy) / 2, button);
}

void Keys(unsigned long window, const std::string& keys) {
  std::string id = std::to_string(window);
  Shell("xdotool windowfocus --sync " + id + " key --delay 40 " + keys);
}

void TypeText(unsigned long window, const std::string& text) {
  std::string id = std::to_string(window);
  Shell("xdotool windowfocus --sync " + id + " type --delay 40 " + Quote(text));
}

void KeysHere(const std::string& keys) {
  Shell("xdotool key --delay 40 " + keys);
}

bool SendCloseRequest(unsigned long window) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  Status ok = XSendEvent(d, window, False, NoEventMask, &e);
  XSync(d, False);
  XCloseDisplay(d);
  return ok != 0;
}

namespace {

bool WithDisplay(const std::function<void(Display*)>& action) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  action(d);
  XSync(d, False);
  XCloseDisplay(d);
  return true;
}

}  // namespace

bool UnmapWindow(unsigned long window) {
  return WithDisplay([window](Display* d) { XUnmapWindow(d, window); });
}

bool MapWindow(unsigned long window) {
  return WithDisplay([window](Display* d) { XMapWindow(d, window); });
}

bool IconifyWindow(unsigned long window) {
  return WithDisplay([window](Display* d) { XIconifyWindow(d, window, DefaultScreen(d)); });
}

bool Viewable(unsigned long window) {
  std::string out;
  Shell("xwininfo -id " + std::to_string(window) + " 2>/dev/null", &out);
  return out.find("Map State: IsViewable") != std::string::npos;
}

bool WindowManagerRuns() {
  std::string out;
  Shell("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null", &out);
  return out.find("window id") != std::string::npos;
}

std::string Property(unsigned long window, const std::string& property) {
  std::string out;
  Shell("xprop -id " + std::to_string(window) + " " + property, &out);
  return out;
}

std::string PixelAt(int x, int y) {
  std::string out;
  Shell("import -window root -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
            " -depth 8 txt:- 2>/dev/null",
        &out);
  // "0,0: (212,208,200)  #D4D0C8  srgb(212,208,200)"
  auto hash = out.find('#', out.find('\n'));
  return hash == std::string::npos ? "" : out.substr(hash, 7);
}

std::string ScreenRgb(int x, int y, int width, int height) {
  std::string out;
  Shell("import -window root -crop " + std::to_string(width) + "x" + std::to_string(height) + "+" +
            std::to_string(x) + "+" + std::to_string(y) + " -depth 8 rgb:- 2>/dev/null",
        &out);
  return out.size() == static_cast<std::size_t>(width) * height * 3 ? out : std::string();
}

namespace {

// How many pixels of the area have a colour that `is` accepts.
template <class Colour>
int CountPixels(int x, int y, int width, int height, Colour is) {
  const std::string rgb = ScreenRgb(x, y, width, height);
  int n = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
    n += is(static_cast<unsigned char>(rgb[i]), static_cast<unsigned char>(rgb[i + 1]),
            static_cast<unsigned char>(rgb[i + 2]));
  }
  return n;
}

}  // namespace

int DarkPixels(int x, int y, int width, int height) {
  return CountPixels(x, y, width, height,
                     [](int r, int g, int b) { return r < 80 && g < 80 && b < 80; });
}

bool WaitDrawn(unsigned long window, std::chrono::milliseconds timeout) {
  return WaitUntil(
      [&] {
        const Geometry g = WindowGeometry(window);
        const int face = CountPixels(g.x, g.y, g.width, g.height, [](int r, int gr, int b) {
          return r == 0xD4 && gr == 0xD0 && b == 0xC8;
        });
        return g.width > 0 && face * 2 > g.width * g.height;
      },
      timeout);
}

bool UnmappedBy(unsigned long window, const std::function<bool()>& action,
                std::chrono::milliseconds timeout) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XSelectInput(d, window, StructureNotifyMask);  // before the action: no event is missed
  XSync(d, False);
  bool unmapped = false;
  if (action()) {
    WaitUntil(
        [&] {
          while (!unmapped && XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            unmapped = e.type == UnmapNotify;
          }
          return unmapped;
        },
        timeout);
  }
  XCloseDisplay(d);
  return unmapped;
}

std::string Screenshot(const std::string& name) {
  std::filesystem::path dir(CORVANE_ARTIFACT_DIR);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::string path = (dir / (name + ".png")).string();
  if (Shell("import -window root " + Quote(path) + " 2>/dev/null") != 0) return "";
  return path;
}

}  // namespace x11test
