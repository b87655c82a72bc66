// One top-level model window (dialog or message box) on FLTK: a double-
// buffered X window of the model's client size, titled and iconed as the
// model says, with one ControlWidget per child. It turns the user's input
// into the seam's Post* calls: left clicks on the client area, right clicks
// (system menu), keys, the window manager's close box, iconify/restore and
// exposure. Display thread only.
#pragma once

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_RGB_Image.H>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/model/model.h"

namespace platform::ui::fltk {

class ControlWidget;
class HeldKeys;

class TopWindow : public Fl_Double_Window {
 public:
  // `keys` (the backend's, outliving the window) tells a key press from
  // its repeats.
  TopWindow(HWND top, const HeldKeys& keys);
  ~TopWindow() override;
  TopWindow(const TopWindow&) = delete;
  TopWindow& operator=(const TopWindow&) = delete;

  HWND hwnd() const { return top_; }
  const TopLevelSnapshot& snapshot() const { return snap_; }

  // Re-reads the model's snapshot and brings title, icons, size, controls
  // and the minimised state up to date. FALSE if the model no longer has
  // the window.
  bool Refresh();

  // Shows the window; `owner` (may be null) is the window it is a dialog
  // of, as the window manager is told when the window is first shown.
  void ShowNow(Fl_Window* owner);
  void HideNow();

  // Pops up the system menu at (x, y) of the client area and waits until
  // the user chooses an item (posted to the model) or dismisses it. Runs a
  // nested FLTK loop.
  void PopupSystemMenu(int x, int y);
  // The same for the edit menu (PostEditMenuChoice / PostEditMenuDismissed).
  void PopupEditMenu(int x, int y);

  int handle(int event) override;
  void flush() override;
  void draw() override;

 private:
  bool HandleKey();
  // Pops up `items` and gives the id chosen (none when dismissed).
  std::optional<UINT> PopupMenu(const std::vector<MenuItemSnapshot>& items, int x, int y);
  void UpdateIcons();
  // Whether the user may minimise the window: an application window (its
  // task-bar button brings it back) or one with a minimise box.
  bool MayBeMinimised() const;
  static void MapAgain(void* data);
  static void CloseBoxCallback(Fl_Widget* w, void* data);

  HWND top_;
  const HeldKeys& keys_;
  TopLevelSnapshot snap_;
  std::map<HWND, ControlWidget*> controls_;  // owned by the FLTK group
  Fl_Menu_Button* menuButton_ = nullptr;     // anchors the system menu popup
  RECT placed_{};                            // model rectangle last applied
  bool placedOnce_ = false;
  HICON shownBig_ = nullptr;
  HICON shownSmall_ = nullptr;
  bool hidingOurselves_ = false;  // hide() called by us, not the user
  bool xIconic_ = false;          // the X window is minimised (unmapped)
  bool modelIconic_ = false;      // the model's minimised state last acted on
};

}  // namespace platform::ui::fltk
