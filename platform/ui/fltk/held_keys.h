// Key repeat on X as the window model has it (PostKey in backend.h): a held
// key gives repeated presses marked as repeats and one release, when it is
// let go. The X server repeats a held key's press and, unless asked not to,
// makes up a release before each repeat, with the same time as the press
// that follows; a button that acts on the release would act on every one of
// them. So the program asks the server to leave those releases out (XKB's
// detectable auto-repeat), and should a server not do it, a release that is
// followed at once by a press of the same key at the same time is dropped
// as the repeat it is. A press of a key that is down already is a repeat.
// Display thread only.
#pragma once

#include <bitset>

namespace platform::ui::fltk {

class HeldKeys {
 public:
  // Asks FLTK's display server for key repeat without releases. Once,
  // after the display is open.
  static void AskForRepeatsWithoutReleases();

  // Takes note of an X event (an XEvent, as a system handler of FLTK gets
  // every event before FLTK handles it). TRUE for a release that key repeat
  // made up: FLTK is to drop it.
  bool Observe(const void* xevent);

  // Whether the key press that FLTK handles now repeats a key held down.
  bool PressRepeats() const { return pressRepeats_; }

 private:
  std::bitset<256> down_;  // by X key code, as the events say
  bool pressRepeats_ = false;
};

}  // namespace platform::ui::fltk
