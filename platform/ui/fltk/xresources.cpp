#include "platform/ui/fltk/xresources.h"

#include <X11/Xresource.h>

namespace platform::ui::fltk {

std::optional<std::string> XftDpiResource(Display* display) {
  // The string was read when the display was opened; Xlib owns it.
  const char* resources = XResourceManagerString(display);
  if (!resources) return std::nullopt;
  XrmInitialize();
  XrmDatabase db = XrmGetStringDatabase(resources);
  if (!db) return std::nullopt;
  // Looked up as Xft itself does, so that "Xft*dpi" and "*dpi" count too.
  char* type = nullptr;
  XrmValue value{};
  std::optional<std::string> dpi;
  if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
    dpi = std::string(value.addr);
  }
  XrmDestroyDatabase(db);
  return dpi;
}

}  // namespace platform::ui::fltk
