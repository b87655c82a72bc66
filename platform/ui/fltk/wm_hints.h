// What the window manager is told about a top-level window beyond what
// FLTK tells it: the functions and decorations that the window's style
// allows (_MOTIF_WM_HINTS: no minimise or maximise without those boxes, no
// resizing without a sizing border, the system menu and close with
// WS_SYSMENU), its type (_NET_WM_WINDOW_TYPE: a dialog unless it is an
// application window) and the window it is a dialog of (WM_TRANSIENT_FOR).
// FLTK states the fixed size (WM_NORMAL_HINTS) itself. Display thread only.
#pragma once

#include <FL/Fl_Window.H>

#include "platform/ui/model/model.h"

namespace platform::ui::fltk {

// Shows `window` (a top-level that is not on the display yet) so that the
// window manager finds the hints of `top` on it when it first manages it:
// the X window is made and mapped while the server is held, and the hints
// are set before it is let go. `owner` is the window that `top` is a
// dialog of (null: none).
void ShowWithWindowManagerHints(Fl_Window* window, const TopLevelSnapshot& top, Fl_Window* owner);

// Sets the Motif hints for `style` on the shown `window` again: FLTK
// rewrites them whenever it changes the window's size range.
void RestoreMotifHints(Fl_Window* window, DWORD style);

}  // namespace platform::ui::fltk
