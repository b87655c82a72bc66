// End to end on a real X server (each case under scripts/with-xvfb.sh, the
// window manager case with --wm openbox): the real `corvane` binary on the
// FLTK backend, a simulated camera on COM1 (COM2 to COM4 mapped to paths
// that do not exist), and the user's actions through xdotool. Each step
// waits for what the user would see before the next. Screenshots of the
// About box, the main dialog after a Read, a box and the edit menu are
// saved as artefacts.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "testing/hex.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "tests/ui_x11/x11_harness.h"
#include "tools/camsim/camsim.h"

namespace {

using namespace x11test;

constexpr char kAboutTitle[] = "About Corvane v. 2.0";
constexpr char kMainTitle[] = "Corvane v. 2.0";
constexpr char kBoxTitle[] = "Application Error";

// Controls as the templates place them (dialog units).
struct Place {
  int x, y, cx, cy;
};
constexpr Place kOk{235, 10, 32, 14};
constexpr Place kRead{105, 70, 32, 15};
constexpr Place kWrite{155, 70, 30, 15};
constexpr Place kAddress{65, 45, 20, 12};
constexpr Place kCode{109, 45, 20, 12};
constexpr Place kNewCode{159, 45, 20, 12};
constexpr Place kReadAll{7, 222, 50, 15};  // in the memory map

void Click(unsigned long window, const Place& p) {
  ClickDialogUnits(window, p.x, p.y, p.cx, p.cy);
}

// Two clicks 120 ms apart, as an impatient user gives them.
void ClickTwice(unsigned long window, const Place& p) {
  Geometry g = WindowGeometry(window);
  int x = g.x + UnitsX(p.x) + UnitsX(p.cx) / 2, y = g.y + UnitsY(p.y) + UnitsY(p.cy) / 2;
  Shell("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
        " click --repeat 2 --delay 120 1");
}

// The X selection `which` ("clipboard" or "primary") as another program
// reads it.
std::string XSelection(const std::string& which) {
  std::string out;
  Shell("xclip -o -selection " + which + " 2>/dev/null", &out);
  return out;
}

// Another program (xclip, which stays in the background until someone else
// takes the selection) offers `text` as the X selection `which`.
void OfferSelection(const std::string& which, const std::string& text) {
  Shell("printf %s " + Quote(text) + " | xclip -selection " + which + " >/dev/null 2>&1");
}

// Saves the window's area of the screen (and `below` pixels more, where a
// popup menu may reach) as <artefacts>/<name>.png: an artefact for a person
// to look at; the steps before it check what it shows.
bool WindowScreenshot(unsigned long window, const std::string& name, int below = 0) {
  std::filesystem::create_directories(CORVANE_ARTIFACT_DIR);
  Geometry g = WindowGeometry(window);
  std::string path = std::string(CORVANE_ARTIFACT_DIR) + "/" + name + ".png";
  Shell("import -window root -crop " + std::to_string(g.width) + "x" +
        std::to_string(g.height + below) + "+" + std::to_string(g.x) + "+" + std::to_string(g.y) +
        " " + Quote(path) + " 2>/dev/null");
  return std::filesystem::exists(path);
}

// A window id as xprop prints it ("window id # 0x600005").
std::string XpropId(unsigned long window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", window);
  return text;
}

// Whether the part (x, y, width, height) of the screen area `area`, both in
// root pixels, differs now from `before`, the area's ScreenRgb of earlier.
bool Changed(const std::string& before, const Geometry& area, const Geometry& part) {
  const int x0 = std::max(part.x, area.x), x1 = std::min(part.x + part.width, area.x + area.width);
  const int y0 = std::max(part.y, area.y),
            y1 = std::min(part.y + part.height, area.y + area.height);
  if (x0 >= x1 || y0 >= y1 || before.empty()) return false;
  const std::string now = ScreenRgb(x0, y0, x1 - x0, y1 - y0);
  const std::size_t row = static_cast<std::size_t>(x1 - x0) * 3;
  for (int y = y0; y < y1 && now.size() == row * static_cast<std::size_t>(y1 - y0); ++y) {
    const std::size_t at = (static_cast<std::size_t>(y - area.y) * area.width + (x0 - area.x)) * 3;
    if (before.compare(at, row, now, static_cast<std::size_t>(y - y0) * row, row) != 0) return true;
  }
  return false;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under scripts/with-xvfb.sh";
    if (Shell("command -v xclip >/dev/null") != 0) GTEST_SKIP() << "xclip is not installed";
  }

  void TearDown() override {
    program_.reset();  // killed if it still runs
    cam_.reset();
  }

  // The camera on COM1 (F8 = 12, F7 = 34 on page 0), at the line's own
  // speed and thinking thinkMs before each reply, then the program. COM3
  // is `com3` if given.
  void Start(int thinkMs, const char* com3 = nullptr) {
    camsim::CamsimOptions options;
    options.linkPath = dir_.File("com1");
    options.logPath = dir_.File("camsim.log");
    options.paced = true;
    options.thinkMs = thinkMs;
    std::string error;
    cam_ = camsim::Camsim::Start(options, &error);
    ASSERT_TRUE(cam_) << error;
    cam_->SetCell(0, 0xF8, 0x12);
    cam_->SetCell(0, 0xF7, 0x34);
    Spawn(com3);
  }

  // The program (again), on the camera that Start started and COM3 at
  // `com3` if given. In a sanitizer build: fontconfig keeps its caches
  // until exit.
  void Spawn(const char* com3 = nullptr) {
    auto env = testsupport::ComPortEnv({dir_.File("com1"), "", com3 ? com3 : ""});
    env.emplace_back("LSAN_OPTIONS", "suppressions=" CORVANE_LSAN_SUPPRESSIONS);
    program_ =
        std::make_unique<testsupport::Process>(std::vector<std::string>{CORVANE_BINARY}, 0u, env);
    ASSERT_TRUE(program_->started());
  }

  // Closes the About box with OK; gives the main dialog's window once it is
  // drawn.
  unsigned long PastAbout() {
    unsigned long about = WaitWindow(kAboutTitle, 15s);
    if (about == 0) return 0;
    Click(about, kOk);
    if (!WaitNoWindow(kAboutTitle, 15s)) return 0;
    unsigned long main = WaitWindow(kMainTitle, 15s);
    return main != 0 && WaitDrawn(main) ? main : 0;
  }

  // Escape ends the dialog and with it the program: its exit status, or -1
  // if it has not ended within 15 s.
  int EscapeAndWait(unsigned long main) {
    Keys(main, "Escape");
    return WaitEnd();
  }

  // The program's exit status once it has ended by itself, or -1 if it has
  // not within 15 s.
  int WaitEnd() { return program_->Wait(15s); }

  // TRUE while the program runs.
  bool Running() { return program_->Running(); }

  // Waits until the button at `p` is drawn enabled (its caption dark, not
  // greyed).
  bool WaitEnabled(unsigned long window, const Place& p) {
    return WaitUntil([&] {
      Geometry g = WindowGeometry(window);
      int w = UnitsX(p.cx), h = UnitsY(p.cy);
      return DarkPixels(g.x + UnitsX(p.x) + w / 4, g.y + UnitsY(p.y) + h / 4, w / 2, h / 2) > 0;
    });
  }

  // Waits until a Read has shown its codes and ended: text in the code
  // field (dark pixels inside its sunken edge), Write enabled by the Read,
  // then Read itself.
  bool WaitReadShown(unsigned long window) {
    return WaitUntil([&] {
             Geometry g = WindowGeometry(window);
             return DarkPixels(g.x + UnitsX(kCode.x) + 3, g.y + UnitsY(kCode.y) + 3,
                               UnitsX(kCode.cx) - 6, UnitsY(kCode.cy) - 6) > 0;
           }) &&
           WaitEnabled(window, kWrite) && WaitEnabled(window, kRead);
  }

  // The main dialog after a Read of F7 (the code field shows 34).
  unsigned long MainAfterRead() {
    unsigned long main = PastAbout();
    if (main == 0) return 0;
    Click(main, kRead);
    if (!cam_->WaitFor(camsim::LogKind::kTx, 8, 10000)) return 0;
    return WaitReadShown(main) ? main : 0;
  }

  // Frames the camera received whose text starts with `prefix`.
  int Frames(const std::string& prefix = "") {
    int n = 0;
    for (const auto& e : cam_->Log()) {
      n += e.kind == camsim::LogKind::kRx && testhex::ToHex(e.bytes).rfind(prefix, 0) == 0;
    }
    return n;
  }

  testsupport::TempDir dir_{"e2e"};
  std::unique_ptr<camsim::Camsim> cam_;
  std::unique_ptr<testsupport::Process> program_;
};

TEST_F(EndToEnd, AboutBoxThenReadThroughTheWindowSendsTheEightFrames) {
  ASSERT_NO_FATAL_FAILURE(Start(0));
  unsigned long about = WaitWindow(kAboutTitle, 15s);
  ASSERT_NE(about, 0u);
  ASSERT_TRUE(WaitDrawn(about));
  EXPECT_TRUE(WaitEnabled(about, kOk));
  EXPECT_TRUE(WindowScreenshot(about, "app-about"));
  // No port is touched while the About box is up.
  EXPECT_TRUE(cam_->Log().empty());

  unsigned long main = PastAbout();
  ASSERT_NE(main, 0u);
  // The task bar shows the program's icon in both sizes under its class.
  std::string icon = Property(main, "_NET_WM_ICON");
  EXPECT_NE(icon.find("32 x 32"), std::string::npos) << icon.substr(0, 200);
  EXPECT_NE(icon.find("16 x 16"), std::string::npos) << icon.substr(0, 200);
  std::string wmClass = Property(main, "WM_CLASS");
  EXPECT_NE(wmClass.find("\"corvane\""), std::string::npos) << wmClass;

  Click(main, kRead);
  ASSERT_TRUE(cam_->WaitForFrames(8, 10000));
  ASSERT_TRUE(cam_->WaitFor(camsim::LogKind::kTx, 8, 10000));
  EXPECT_TRUE(WaitReadShown(main));
  EXPECT_TRUE(WindowScreenshot(main, "app-main-after-read"));

  // The camera's log file holds the eight frames.
  const std::string log = testsupport::ReadFile(dir_.File("camsim.log"));
  int rx = 0;
  for (auto at = log.find(" RX "); at != std::string::npos; at = log.find(" RX ", at + 1)) ++rx;
  EXPECT_EQ(rx, 8);
  EXPECT_EQ(EscapeAndWait(main), 0);
}

// The second click of a double click comes while the first one's command
// runs: the button is disabled then, and the click is lost.
TEST_F(EndToEnd, DoubleClicksOnReadAndWriteRunOneCommandEach) {
  ASSERT_NO_FATAL_FAILURE(Start(40));
  unsigned long main = PastAbout();
  ASSERT_NE(main, 0u);

  ClickTwice(main, kRead);
  ASSERT_TRUE(cam_->WaitForFrames(8, 10000));
  // A second Read would follow the first at once.
  EXPECT_FALSE(cam_->WaitForFrames(9, 1500)) << Frames() << " frames";

  Click(main, kNewCode);
  TypeText(main, "3C");
  ClickTwice(main, kWrite);
  ASSERT_TRUE(cam_->WaitForFrames(16, 10000));
  EXPECT_FALSE(cam_->WaitForFrames(17, 1500)) << Frames() << " frames";
  EXPECT_EQ(Frames("01800E10204D10"), 1);  // write frames
  EXPECT_EQ(cam_->Cell(0, 0xF7), 0x3C);
  EXPECT_EQ(EscapeAndWait(main), 0);
}

// Under a window manager: what the templates say reaches it through the
// windows' properties, and it acts on them. The boxes and the About box
// opened from the system menu are dialogs of the main dialog.
TEST_F(EndToEnd, TheWindowManagerIsToldWhatTheTemplatesSay) {
  std::string wm;
  Shell("xprop -root _NET_SUPPORTING_WM_CHECK", &wm);
  ASSERT_NE(wm.find("window id"), std::string::npos)
      << "run under scripts/with-xvfb.sh --wm openbox";
  ASSERT_NO_FATAL_FAILURE(Start(0));
  // Caption, system menu (close) and a border; no minimise or maximise box
  // and no sizing border: functions move | close, decorations border |
  // title | menu.
  const std::string motif = "= 0x3, 0x24, 0x1a, 0x0, 0x0";

  unsigned long about = WaitWindow(kAboutTitle, 15s);
  ASSERT_NE(about, 0u);
  EXPECT_NE(Property(about, "_MOTIF_WM_HINTS").find(motif), std::string::npos)
      << Property(about, "_MOTIF_WM_HINTS");
  EXPECT_NE(Property(about, "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_DIALOG"),
            std::string::npos);

  unsigned long main = PastAbout();
  ASSERT_NE(main, 0u);
  EXPECT_NE(Property(main, "_MOTIF_WM_HINTS").find(motif), std::string::npos)
      << Property(main, "_MOTIF_WM_HINTS");
  EXPECT_NE(Property(main, "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_NORMAL"),
            std::string::npos);
  EXPECT_NE(Property(main, "WM_TRANSIENT_FOR").find("not found"), std::string::npos);
  // A fixed size: the minimum is the maximum.
  std::string normal = Property(main, "WM_NORMAL_HINTS");
  Geometry g = WindowGeometry(main);
  std::string size = std::to_string(g.width) + " by " + std::to_string(g.height);
  EXPECT_NE(normal.find("minimum size: " + size), std::string::npos) << normal;
  EXPECT_NE(normal.find("maximum size: " + size), std::string::npos) << normal;
  // What the window manager allows the user to do with the window.
  std::string actions;
  ASSERT_TRUE(WaitUntil([&] {
    actions = Property(main, "_NET_WM_ALLOWED_ACTIONS");
    return actions.find("_NET_WM_ACTION_CLOSE") != std::string::npos;
  }));
  EXPECT_NE(actions.find("_NET_WM_ACTION_MOVE"), std::string::npos) << actions;
  EXPECT_EQ(actions.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << actions;
  EXPECT_EQ(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << actions;

  // The error box (it has no owner window) is a dialog of the main dialog.
  Click(main, kAddress);
  Keys(main, "End BackSpace BackSpace");
  TypeText(main, "f7");
  Click(main, kRead);
  unsigned long box = WaitWindow(kBoxTitle, 15s);
  ASSERT_NE(box, 0u);
  EXPECT_NE(Property(box, "WM_TRANSIENT_FOR").find("window id # " + XpropId(main)),
            std::string::npos)
      << Property(box, "WM_TRANSIENT_FOR") << " main " << XpropId(main);
  EXPECT_NE(Property(box, "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_DIALOG"),
            std::string::npos);
  Keys(box, "Return");
  ASSERT_TRUE(WaitNoWindow(kBoxTitle, 15s));
  EXPECT_EQ(Frames(), 0);

  // The About box from the system menu is a dialog of the main dialog.
  std::set<unsigned long> before = UnnamedWindows();
  ClickAt(g.x + 30, g.y + 120, 3);  // below the group boxes
  ASSERT_TRUE(WaitUntil([&] { return UnnamedWindows().size() > before.size(); }));
  Shell("xdotool key --delay 60 Down Down Return");  // Close, a separator, the About item
  about = WaitWindow(kAboutTitle, 15s);
  ASSERT_NE(about, 0u);
  EXPECT_NE(Property(about, "WM_TRANSIENT_FOR").find("window id # " + XpropId(main)),
            std::string::npos)
      << Property(about, "WM_TRANSIENT_FOR") << " main " << XpropId(main);
  Keys(about, "Return");
  ASSERT_TRUE(WaitNoWindow(kAboutTitle, 15s));
  EXPECT_EQ(EscapeAndWait(main), 0);
}

// The keyboard as a technician uses it, with and without a window manager.
// A box takes the keys when it appears, wherever the pointer is, and comes
// back when it is minimised; Enter and Space repeat the command whose
// button had the focus; a box closed with Enter while the pointer rests on
// the main dialog leaves the dialog open and gives the keys back to it.
// COM3 is /dev/null, whose configuration fails with a system text ending
// in CR LF: the screenshot of that box shows no control character.
TEST_F(EndToEnd, KeysRepeatCommandsAndBoxesTakeTheKeyboard) {
  const bool wm = WindowManagerRuns();
  ASSERT_NO_FATAL_FAILURE(Start(0, "/dev/null"));
  unsigned long about = WaitWindow(kAboutTitle, 15s);
  ASSERT_NE(about, 0u);
  Click(about, kOk);
  unsigned long box = WaitWindow(kBoxTitle, 15s);  // COM3's, during the probe
  ASSERT_NE(box, 0u);
  ASSERT_TRUE(WaitDrawn(box));
  EXPECT_TRUE(WindowScreenshot(box, wm ? "app-box-system-text-wm" : "app-box-system-text"));
  // The box cannot be minimised: the window manager is told so (no
  // minimise in the Motif functions), and should it minimise the box all
  // the same (openbox offers every dialog that action), the box is back
  // at once, on the screen for the window manager too.
  EXPECT_NE(Property(box, "_MOTIF_WM_HINTS").find("= 0x3, 0x24,"), std::string::npos)
      << Property(box, "_MOTIF_WM_HINTS");
  ASSERT_TRUE(UnmappedBy(box, [&] { return wm ? IconifyWindow(box) : UnmapWindow(box); }))
      << "the box was not minimised";
  EXPECT_TRUE(WaitUntil([&] {
    return Viewable(box) &&
           Property(box, "_NET_WM_STATE").find("_NET_WM_STATE_HIDDEN") == std::string::npos;
  })) << "the minimised box stays away";
  KeysHere("Return");
  ASSERT_TRUE(WaitNoWindow(kBoxTitle, 15s));

  unsigned long main = WaitWindow(kMainTitle, 15s);
  ASSERT_NE(main, 0u);
  ASSERT_TRUE(WaitDrawn(main));
  Click(main, kRead);
  ASSERT_TRUE(cam_->WaitForFrames(8, 10000));
  ASSERT_TRUE(WaitEnabled(main, kRead));
  KeysHere("Return");
  ASSERT_TRUE(cam_->WaitForFrames(16, 10000)) << Frames() << " frames";
  ASSERT_TRUE(WaitEnabled(main, kRead));
  KeysHere("space");
  ASSERT_TRUE(cam_->WaitForFrames(24, 10000)) << Frames() << " frames";
  ASSERT_TRUE(WaitEnabled(main, kRead));
  EXPECT_TRUE(Running());

  // A refused address: the box closes with Enter while the pointer rests
  // on Read, and the dialog stays, with the keys and Read's focus back.
  Click(main, kAddress);
  Keys(main, "End BackSpace BackSpace");
  TypeText(main, "f7");
  Click(main, kRead);
  ASSERT_NE(WaitWindow(kBoxTitle, 15s), 0u);
  KeysHere("Return");
  ASSERT_TRUE(WaitNoWindow(kBoxTitle, 15s));
  ASSERT_TRUE(WaitEnabled(main, kRead));
  EXPECT_TRUE(Running());
  MovePointer(1000, 740);  // away from the dialog
  KeysHere("space");
  ASSERT_NE(WaitWindow(kBoxTitle, 15s), 0u) << "Space did not reach Read";
  KeysHere("Return");
  ASSERT_TRUE(WaitNoWindow(kBoxTitle, 15s));
  EXPECT_EQ(Frames(), 24);
  ASSERT_TRUE(WaitEnabled(main, kRead));  // the refused Read is over
  EXPECT_EQ(EscapeAndWait(main), 0);
}

// A signal asks the program to end: a Write that runs goes on to its
// read-back, then the dialog closes as its close box would (status 0). A
// box open when the signal comes is ended as its OK ends it.
TEST_F(EndToEnd, ASignalClosesTheDialogOnceTheWriteHasItsReadBack) {
  ASSERT_NO_FATAL_FAILURE(Start(150));
  unsigned long main = MainAfterRead();
  ASSERT_NE(main, 0u);
  Click(main, kNewCode);
  TypeText(main, "5A");
  Click(main, kWrite);
  ASSERT_TRUE(cam_->WaitForFrames(8 + 5, 10000));  // the Read, then the Write up to its write frame
  program_->Signal(SIGTERM);
  EXPECT_EQ(WaitEnd(), 0);
  std::vector<std::string> frames;
  for (const auto& e : cam_->Log()) {
    if (e.kind == camsim::LogKind::kRx) frames.push_back(testhex::ToHex(e.bytes));
  }
  ASSERT_EQ(frames.size(), 16u);
  EXPECT_EQ(frames[12].rfind("01800E10204D1000F7025A", 0), 0u) << frames[12];
  EXPECT_EQ(frames[13], "103B04");  // close, announce, the read-back
  EXPECT_EQ(frames[14], "05807F");
  EXPECT_EQ(frames[15].rfind("01800E10204D4000F702", 0), 0u) << frames[15];
  EXPECT_EQ(cam_->Cell(0, 0xF7), 0x5A);

  // COM3's box during the probe is open when SIGHUP comes.
  ASSERT_NO_FATAL_FAILURE(Spawn("/dev/null"));
  unsigned long about = WaitWindow(kAboutTitle, 15s);
  ASSERT_NE(about, 0u);
  Click(about, kOk);
  ASSERT_NE(WaitWindow(kBoxTitle, 15s), 0u);
  program_->Signal(SIGHUP);
  EXPECT_EQ(WaitEnd(), 0);
}

// A held Space or Enter on the focused Read or Write button runs its command
// once, with the server's key repeat on (a release and a press every 33 ms
// after 250 ms), with and without a window manager.
TEST_F(EndToEnd, AHeldKeyRunsTheCommandOnce) {
  ASSERT_EQ(Shell("xset r on r rate 250 30"), 0);
  ASSERT_NO_FATAL_FAILURE(Start(0));
  unsigned long main = PastAbout();
  ASSERT_NE(main, 0u);
  // A command (eight frames) has ended: the frames are counted after it.
  int frames = 0;
  auto ended = [&] {
    frames += 8;
    return cam_->WaitForFrames(frames, 10000) &&
           cam_->WaitFor(camsim::LogKind::kTx, frames, 10000) && WaitEnabled(main, kRead);
  };
  auto hold = [&](const std::string& key) {
    // Held for 2 s: the stimulus, long enough for the server's repeat.
    Shell("xdotool windowfocus --sync " + std::to_string(main) + " keydown " + key +
          " sleep 2 keyup " + key);
    return ended();
  };
  Click(main, kRead);
  ASSERT_TRUE(ended() && hold("space") && hold("Return")) << Frames() << " frames";
  EXPECT_EQ(Frames(), 24);  // the click's Read, one for each key

  Click(main, kNewCode);
  TypeText(main, "3C");
  Click(main, kWrite);
  ASSERT_TRUE(ended() && hold("space") && hold("Return")) << Frames() << " frames";
  EXPECT_EQ(Frames("01800E10204D1000F7023C"), 3);  // the click's Write, one for each key
  EXPECT_EQ(Frames(), 48);
  EXPECT_EQ(EscapeAndWait(main), 0);
}

// After a Read the code shown goes to other programs: a double click
// selects it (the primary selection), Ctrl+C copies it to the clipboard.
TEST_F(EndToEnd, TheCodeReadIsCopiedWithCtrlCAndAsThePrimarySelection) {
  ASSERT_NO_FATAL_FAILURE(Start(0));
  unsigned long main = MainAfterRead();
  ASSERT_NE(main, 0u);

  // A drag from the field's left edge to its middle selects the first
  // digit; a double click selects the code.
  Geometry g = WindowGeometry(main);
  std::string left = std::to_string(g.x + UnitsX(kCode.x) + 3);
  std::string middle = std::to_string(g.x + UnitsX(kCode.x) + UnitsX(kCode.cx) / 2);
  std::string y = std::to_string(g.y + UnitsY(kCode.y) + UnitsY(kCode.cy) / 2);
  Shell("xdotool mousemove " + left + " " + y + " mousedown 1 mousemove " + middle + " " + y +
        " mouseup 1");
  EXPECT_TRUE(WaitUntil([] { return XSelection("primary") == "3"; })) << XSelection("primary");
  Shell("xdotool click --repeat 2 --delay 80 1");
  EXPECT_TRUE(WaitUntil([] { return XSelection("primary") == "34"; })) << XSelection("primary");
  Keys(main, "ctrl+c");
  EXPECT_TRUE(WaitUntil([] { return XSelection("clipboard") == "34"; })) << XSelection("clipboard");
  EXPECT_TRUE(WindowScreenshot(main, "app-code-selected"));
  EXPECT_EQ(EscapeAndWait(main), 0);
}

// A code copied in another program is pasted into the new-code field with
// Ctrl+V and written; the middle button pastes the primary selection; the
// edit menu opens on a right click.
TEST_F(EndToEnd, ACodePastedWithCtrlVOrTheMiddleButtonIsWritten) {
  ASSERT_NO_FATAL_FAILURE(Start(0));
  unsigned long main = MainAfterRead();
  ASSERT_NE(main, 0u);

  // What the focused field holds, as Ctrl+A and Ctrl+C give it to others
  // (the paste comes through the X server, from the program holding it).
  auto fieldHolds = [&](const std::string& text) {
    return WaitUntil([&] {
      Keys(main, "ctrl+a ctrl+c");
      return XSelection("clipboard") == text;
    });
  };
  OfferSelection("clipboard", "3C\n");  // as a spreadsheet copies a cell
  Click(main, kNewCode);
  Keys(main, "ctrl+v");
  ASSERT_TRUE(fieldHolds("3C"));
  Click(main, kWrite);
  ASSERT_TRUE(cam_->WaitForFrames(16, 10000));
  EXPECT_EQ(Frames("01800E10204D1000F7023C"), 1);
  EXPECT_TRUE(cam_->WaitFor(camsim::LogKind::kTx, 16, 10000));

  // The edit menu of the field, with Paste offered: drawn over the dialog
  // and the screen below it (looked at below the field, whose caret may
  // change meanwhile).
  std::set<unsigned long> before = UnnamedWindows();
  Click(main, kNewCode);
  const Geometry g = WindowGeometry(main), area{g.x, g.y, g.width, g.height + 120};
  const std::string screen = ScreenRgb(area.x, area.y, area.width, area.height);
  ClickDialogUnits(main, kNewCode.x, kNewCode.y, kNewCode.cx, kNewCode.cy, 3);
  std::set<unsigned long> menu;
  ASSERT_TRUE(WaitUntil([&] {
    menu = UnnamedWindows();
    for (unsigned long id : before) menu.erase(id);
    return !menu.empty();
  }));
  Geometry popup = WindowGeometry(*menu.begin());
  const int fieldEnd = g.y + UnitsY(kNewCode.y) + UnitsY(kNewCode.cy);
  popup.height -= std::max(0, fieldEnd - popup.y);
  popup.y = std::max(popup.y, fieldEnd);
  EXPECT_TRUE(WaitUntil([&] { return Changed(screen, area, popup); }));
  EXPECT_TRUE(WindowScreenshot(main, "app-edit-menu", 120));
  Shell("xdotool key Escape");
  ASSERT_TRUE(WaitUntil([&] { return UnnamedWindows().size() == before.size(); }));

  OfferSelection("primary", "5A");
  Keys(main, "End BackSpace BackSpace");
  ClickDialogUnits(main, kNewCode.x, kNewCode.y, kNewCode.cx, kNewCode.cy, 2);
  ASSERT_TRUE(fieldHolds("5A"));
  Click(main, kWrite);
  ASSERT_TRUE(cam_->WaitForFrames(24, 10000));
  EXPECT_EQ(Frames("01800E10204D1000F7025A"), 1);

  // The camera's log file shows both writes with their codes.
  const std::string log = testsupport::ReadFile(dir_.File("camsim.log"));
  EXPECT_NE(log.find(" RX 01800E10204D1000F7023C"), std::string::npos) << log;
  EXPECT_NE(log.find(" RX 01800E10204D1000F7025A"), std::string::npos) << log;
  // Escape while the Write still runs would go to its disabled button and
  // be lost: end the program once the command is over.
  EXPECT_TRUE(cam_->WaitFor(camsim::LogKind::kTx, 24, 10000));
  ASSERT_TRUE(WaitEnabled(main, kRead));
  EXPECT_EQ(EscapeAndWait(main), 0);
}

// The memory map from the system menu: Read all reads both pages in one
// session through the real window, and Escape closes it.
TEST_F(EndToEnd, TheMemoryMapReadsBothPagesInOneSession) {
  ASSERT_NO_FATAL_FAILURE(Start(0));
  unsigned long main = PastAbout();
  ASSERT_NE(main, 0u);
  const Geometry g = WindowGeometry(main);
  std::set<unsigned long> before = UnnamedWindows();
  ClickAt(g.x + 30, g.y + 120, 3);  // below the group boxes
  ASSERT_TRUE(WaitUntil([&] { return UnnamedWindows().size() > before.size(); }));
  Shell("xdotool key --delay 60 Down Down Down Return");  // Close, About, the memory map
  unsigned long map = WaitWindow("Memory map", 15s);
  ASSERT_NE(map, 0u);
  ASSERT_TRUE(WaitEnabled(map, kReadAll));  // drawn (mostly white: the grids)
  Click(map, kReadAll);
  ASSERT_TRUE(cam_->WaitForFrames(3 + 3 * 512, 60000));
  ASSERT_TRUE(WaitEnabled(map, kReadAll));
  EXPECT_EQ(Frames(), 3 + 3 * 512);
  EXPECT_TRUE(WindowScreenshot(map, "app-memory-map"));
  Keys(map, "Escape");
  ASSERT_TRUE(WaitNoWindow("Memory map", 15s));
  EXPECT_EQ(EscapeAndWait(main), 0);
}

}  // namespace
