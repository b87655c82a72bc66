// Which keys are down, from the X events of the program's windows.
#include "platform/ui/fltk/held_keys.h"

#include <FL/x.H>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace platform::ui::fltk {

void HeldKeys::AskForRepeatsWithoutReleases() {
  // The setting belongs to this connection only. A server without XKB
  // refuses it; Observe then drops the releases that come in pairs.
  Bool supported = False;
  XkbSetDetectableAutoRepeat(fl_display, True, &supported);
}

bool HeldKeys::Observe(const void* xevent) {
  const auto* e = static_cast<const XEvent*>(xevent);
  switch (e->type) {
    case KeymapNotify:
      // The keys down as a window of ours got the focus or the pointer:
      // keys pressed or let go while another program had the keyboard
      // count as the server has them. Bytes 1 to 31 hold key codes 8 to
      // 255 (key codes below 8 do not exist).
      for (unsigned code = 8; code < down_.size(); ++code) {
        const auto byte = static_cast<unsigned char>(e->xkeymap.key_vector[code / 8]);
        down_[code] = (byte >> (code % 8)) & 1;
      }
      return false;
    case KeyPress:
      pressRepeats_ = down_[e->xkey.keycode];
      down_[e->xkey.keycode] = true;
      return false;
    case KeyRelease:
      if (XPending(fl_display) > 0) {
        XEvent next;
        XPeekEvent(fl_display, &next);
        if (next.type == KeyPress && next.xkey.keycode == e->xkey.keycode &&
            next.xkey.time == e->xkey.time) {
          return true;
        }
      }
      down_[e->xkey.keycode] = false;
      return false;
    default:
      return false;
  }
}

}  // namespace platform::ui::fltk
