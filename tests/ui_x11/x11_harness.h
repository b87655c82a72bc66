// What a user does on the X display, for the tests of the FLTK backend:
// xdotool finds windows, moves the pointer, clicks and types; Xlib sends the
// window manager's close request; ImageMagick takes screenshots. Every call
// runs on the test's thread against the server named by DISPLAY (a private
// Xvfb started by scripts/with-xvfb.sh).
#pragma once

#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "platform/win32/win32types.h"
#include "testing/wait.h"

namespace x11test {

using namespace std::chrono_literals;
using testsupport::WaitUntil;

// Runs a shell command (ended after a minute); gives its exit status and
// (if out) its standard output.
int Shell(const std::string& command, std::string* out = nullptr);

// Quotes a string for the shell.
std::string Quote(const std::string& s);

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// The X window id of the visible window titled exactly `title`, waiting up
// to `timeout`; 0 if none appeared.
unsigned long WaitWindow(const std::string& title,
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// TRUE once no visible window has that title.
bool WaitNoWindow(const std::string& title,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
Geometry WindowGeometry(unsigned long window);

// The root's children that have no name and more than one pixel: popup
// menus (FLTK shows a menu as an unnamed top-level window, which exists
// only while it is up), and a window manager's frames.
std::set<unsigned long> UnnamedWindows();
// Waits until a popup menu is open (`open`) or none is (without a window
// manager).
bool WaitPopupMenu(bool open, std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

// Pointer actions at root-window pixels.
void ClickAt(int x, int y, int button = 1);
void MovePointer(int x, int y);
// The centre, in root pixels, of a control placed by the template at
// (x, y, cx, cy) dialog units in the window `window`.
void ClickDialogUnits(unsigned long window, int x, int y, int cx, int cy, int button = 1);

// Keyboard: gives `window` the input focus, then presses the keys
// (xdotool names: "Tab", "shift+Tab", "Return", "alt+space") or types text.
void Keys(unsigned long window, const std::string& keys);
void TypeText(unsigned long window, const std::string& text);
// Presses the keys wherever the X input focus is, as a keyboard does.
void KeysHere(const std::string& keys);

// Asks the window to close as a window manager's close box does
// (WM_PROTOCOLS / WM_DELETE_WINDOW client message).
bool SendCloseRequest(unsigned long window);

// Unmaps or maps the window as a window manager does when it minimises
// or restores it.
bool UnmapWindow(unsigned long window);
bool MapWindow(unsigned long window);
// Asks the window manager to minimise the window (WM_CHANGE_STATE).
bool IconifyWindow(unsigned long window);
// Whether the window and all its ancestors are mapped.
bool Viewable(unsigned long window);
// Whether a window manager runs on the display.
bool WindowManagerRuns();

// The output of `xprop -id window property`.
std::string Property(unsigned long window, const std::string& property);

// The colour of the screen pixel at (x, y) root pixels as "#RRGGBB".
std::string PixelAt(int x, int y);
// The screen area (x, y, width, height) in root pixels, as rows of red,
// green and blue bytes; empty on failure.
std::string ScreenRgb(int x, int y, int width, int height);
// How many pixels of the screen area (x, y, width, height) are dark (red,
// green and blue below 80), as enabled text is and greyed text is not.
int DarkPixels(int x, int y, int width, int height);
// Waits until the window is drawn: most of it in the face colour of
// dialogs and boxes (#D4D0C8), which neither the root window nor a window
// not yet drawn shows.
bool WaitDrawn(unsigned long window,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

// Runs `action` (FALSE if it failed) and waits until the window has been
// unmapped: its UnmapNotify event, which a map again at once does not hide
// as it would hide the unmap from a look at the window's state.
bool UnmappedBy(unsigned long window, const std::function<bool()>& action,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

// Saves a PNG of the whole screen as <artifacts>/<name>.png; gives the path
// (empty on failure).
std::string Screenshot(const std::string& name);

// Dialog units to pixels, as the templates' font makes them.
int UnitsX(int x);
int UnitsY(int y);

}  // namespace x11test
