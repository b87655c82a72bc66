// The X resources of a display that the window layer follows (those that
// xrdb loaded into the root window's RESOURCE_MANAGER property).
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace platform::ui::fltk {

// The value of Xft.dpi as the desktop set it (for example "192"), or
// nullopt when the display has no such resource. Call it on the thread
// that uses `display`.
std::optional<std::string> XftDpiResource(Display* display);

}  // namespace platform::ui::fltk
