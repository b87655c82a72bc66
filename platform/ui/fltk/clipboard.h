// The model's clipboard on X: an edit's copies become the X CLIPBOARD or
// PRIMARY selection that other programs paste, and its pastes fetch those
// selections from whichever program holds them. Display thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/model/model.h"

namespace platform::ui::fltk {

class ClipboardBridge {
 public:
  ClipboardBridge();
  ~ClipboardBridge();
  ClipboardBridge(const ClipboardBridge&) = delete;
  ClipboardBridge& operator=(const ClipboardBridge&) = delete;

  // Offers `text` (Latin-1, as the model holds it) as the selection
  // `which`, until another program takes it.
  void Copy(ClipboardKind which, const std::string& text);

  // Fetches the selection `which` for the edit `edit` and hands it to the
  // model (PostPaste) when it arrives: at once when this program holds it,
  // otherwise when its holder answers. Nothing arrives when no program
  // holds it. Needs a shown window (X delivers the answer to one).
  void RequestPaste(HWND edit, ClipboardKind which);

  // Whether some program (this one included) holds the clipboard now.
  static bool ClipboardHeld();

 private:
  class Receiver;
  std::unique_ptr<Receiver> receiver_;
};

}  // namespace platform::ui::fltk
