#include "platform/ui/fltk/clipboard.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include "platform/ui/fltk/latin1.h"
#include "platform/ui/model/backend.h"

namespace platform::ui::fltk {

// FLTK delivers a paste as an FL_PASTE event to one widget: this one,
// never shown, which passes it on to the edit that asked last. (FLTK keeps
// one requester; a second request before the first answer takes its place.)
class ClipboardBridge::Receiver : public Fl_Widget {
 public:
  Receiver() : Fl_Widget(0, 0, 1, 1) { hide(); }
  HWND target = nullptr;
  void draw() override {}
  int handle(int event) override {
    if (event != FL_PASTE) return 0;
    if (target && Fl::event_length() > 0) {
      PostPaste(target, Latin1FromUtf8(Fl::event_text(), Fl::event_length()));
    }
    return 1;
  }
};

ClipboardBridge::ClipboardBridge() {
  // Outside every window: the widget must not belong to a group.
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  receiver_ = std::make_unique<Receiver>();
  Fl_Group::current(current);
}

ClipboardBridge::~ClipboardBridge() = default;

void ClipboardBridge::Copy(ClipboardKind which, const std::string& text) {
  std::string utf8 = Utf8FromLatin1(text);
  Fl::copy(utf8.data(), static_cast<int>(utf8.size()), static_cast<int>(which));
}

void ClipboardBridge::RequestPaste(HWND edit, ClipboardKind which) {
  // X answers a request for another program's selection to a window.
  if (!Fl::first_window()) return;
  receiver_->target = edit;
  Fl::paste(*receiver_, static_cast<int>(which));
}

bool ClipboardBridge::ClipboardHeld() {
  Atom clipboard = XInternAtom(fl_display, "CLIPBOARD", False);
  return XGetSelectionOwner(fl_display, clipboard) != None;
}

}  // namespace platform::ui::fltk
