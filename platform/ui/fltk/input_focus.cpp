// The X input focus, through Xlib on the X windows that FLTK made.
#include "platform/ui/fltk/input_focus.h"

#include <FL/x.H>
#include <X11/Xlib.h>

namespace platform::ui::fltk {

bool OnScreen(Fl_Window* window) {
  if (!window->shown()) return false;
  XWindowAttributes a;
  if (!XGetWindowAttributes(fl_display, fl_xid(window), &a)) return false;
  return a.map_state == IsViewable;
}

bool GiveInputFocus(Fl_Window* window) {
  if (!OnScreen(window)) return false;
  XSetInputFocus(fl_display, fl_xid(window), RevertToParent, CurrentTime);
  XFlush(fl_display);
  return true;
}

bool HoldsInputFocus(Fl_Window* window) {
  if (!window->shown()) return false;
  ::Window focus = None;
  int revert = 0;
  XGetInputFocus(fl_display, &focus, &revert);
  return focus == fl_xid(window);
}

unsigned long MappedWindow(const void* xevent) {
  const auto* e = static_cast<const XEvent*>(xevent);
  // StructureNotify on the window itself, not SubstructureNotify on its
  // parent.
  if (e->type != MapNotify || e->xmap.event != e->xmap.window) return 0;
  return e->xmap.window;
}

}  // namespace platform::ui::fltk
