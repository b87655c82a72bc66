// The window manager hints of a top-level window, set through Xlib on the
// X window that FLTK made.
#include "platform/ui/fltk/wm_hints.h"

#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/win32/win32types.h"

namespace platform::ui::fltk {
namespace {

// _MOTIF_WM_HINTS: five longs (flags, functions, decorations, input mode,
// status), the bits as the Motif window manager defines them.
constexpr long kMwmHintsFunctions = 1L << 0;
constexpr long kMwmHintsDecorations = 1L << 1;
constexpr long kMwmFuncResize = 1L << 1;
constexpr long kMwmFuncMove = 1L << 2;
constexpr long kMwmFuncMinimize = 1L << 3;
constexpr long kMwmFuncMaximize = 1L << 4;
constexpr long kMwmFuncClose = 1L << 5;
constexpr long kMwmDecorBorder = 1L << 1;
constexpr long kMwmDecorResizeH = 1L << 2;
constexpr long kMwmDecorTitle = 1L << 3;
constexpr long kMwmDecorMenu = 1L << 4;
constexpr long kMwmDecorMinimize = 1L << 5;
constexpr long kMwmDecorMaximize = 1L << 6;

struct MotifHints {
  long flags, functions, decorations, inputMode, status;
};

MotifHints MotifHintsFor(DWORD style) {
  MotifHints h{kMwmHintsFunctions | kMwmHintsDecorations, 0, kMwmDecorBorder, 0, 0};
  auto both = [&h, style](DWORD bit, long function, long decoration) {
    if ((style & bit) != bit) return;
    h.functions |= function;
    h.decorations |= decoration;
  };
  both(WS_CAPTION, kMwmFuncMove, kMwmDecorTitle);
  both(WS_SYSMENU, kMwmFuncClose, kMwmDecorMenu);
  both(WS_MINIMIZEBOX, kMwmFuncMinimize, kMwmDecorMinimize);
  both(WS_MAXIMIZEBOX, kMwmFuncMaximize, kMwmDecorMaximize);
  both(WS_THICKFRAME, kMwmFuncResize, kMwmDecorResizeH);
  return h;
}

Atom Intern(const char* name) {
  return XInternAtom(fl_display, name, False);
}

void SetMotifHints(::Window xid, DWORD style) {
  MotifHints motif = MotifHintsFor(style);
  Atom atom = Intern("_MOTIF_WM_HINTS");
  XChangeProperty(fl_display, xid, atom, atom, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&motif), 5);
}

void SetHints(::Window xid, const TopLevelSnapshot& top, Fl_Window* owner) {
  SetMotifHints(xid, top.self.style);
  // An application window has a task-bar button of its own; every other
  // top-level is a dialog of the program.
  bool dialog = (top.self.exStyle & WS_EX_APPWINDOW) == 0;
  Atom type = Intern(dialog ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL");
  XChangeProperty(fl_display, xid, Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  if (owner && owner->shown()) {
    XSetTransientForHint(fl_display, xid, fl_xid(owner));
  } else {
    XDeleteProperty(fl_display, xid, XA_WM_TRANSIENT_FOR);
  }
}

}  // namespace

void ShowWithWindowManagerHints(Fl_Window* window, const TopLevelSnapshot& top, Fl_Window* owner) {
  // FLTK makes and maps the X window in one call. While the server is held
  // no window manager sees the map, so it reads these hints, not FLTK's.
  XGrabServer(fl_display);
  window->show();
  if (window->shown()) SetHints(fl_xid(window), top, owner);
  XUngrabServer(fl_display);
  XFlush(fl_display);
}

void RestoreMotifHints(Fl_Window* window, DWORD style) {
  if (!window->shown()) return;
  SetMotifHints(fl_xid(window), style);
  XFlush(fl_display);
}

}  // namespace platform::ui::fltk
