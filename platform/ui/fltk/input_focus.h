// The X input focus of the program's windows. Without a window manager no
// one gives a new window the keyboard (keys go to the window under the
// pointer), so the program does it itself: the newest of its windows on
// the screen takes the focus whenever one of them is mapped, and a window
// that goes away while it holds the focus hands it to the window it was a
// dialog of. Under a window manager these requests agree with what the
// manager does itself (it focuses new windows and falls back to the owner).
// Display thread only.
#pragma once

#include <FL/Fl_Window.H>

namespace platform::ui::fltk {

// Whether the shown `window` is mapped and so are all its ancestors (the
// X server refuses the focus to any other window).
bool OnScreen(Fl_Window* window);

// Gives the X input focus to `window` if it is viewable; FALSE if it is
// not. Should it become unviewable, the server moves the focus to its
// parent.
bool GiveInputFocus(Fl_Window* window);

// Whether `window` holds the X input focus now.
bool HoldsInputFocus(Fl_Window* window);

// The X window that the X event `xevent` (an XEvent, as a system handler of
// FLTK gets it) reports mapped, or 0 for any other event.
unsigned long MappedWindow(const void* xevent);

}  // namespace platform::ui::fltk
