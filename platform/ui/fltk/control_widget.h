// One child control of a model window on FLTK: it draws the control's
// snapshot in the classic look and forwards the mouse to the model
// (PostClick; an edit's presses, drags, middle and right clicks). It never takes FLTK's keyboard
// focus: keys go to the top-level window, which hands them to the model, and the model's focus is
// drawn from the snapshot. Display thread only.
#pragma once

#include <FL/Fl_Widget.H>

#include "platform/ui/model/model.h"

namespace platform::ui::fltk {

class TopWindow;

class ControlWidget : public Fl_Widget {
 public:
  ControlWidget(TopWindow* top, const WindowSnapshot& snap);

  // Takes the control's new state (and its rectangle, pixels relative to
  // the top-level's client area).
  void Update(const WindowSnapshot& snap);
  HWND hwnd() const { return snap_.hwnd; }
  const WindowSnapshot& snapshot() const { return snap_; }

  // Controls that a click reaches (buttons, check boxes, edits). Static
  // texts, icons and group boxes let clicks through to the dialog.
  bool TakesClicks() const;

  int handle(int event) override;
  void draw() override;

 private:
  void DrawPushButton();
  void DrawCheckBox();
  void DrawEdit();
  void DrawStatic();
  void DrawGroupBox();
  void DrawIconControl();
  void DrawPainted();
  void DrawProgress();
  // Edits: the mouse (given to the model as character boundaries), and
  // where the text is drawn (its area; the x of its first character, which
  // scrolls to keep the caret in sight when `scrollToCaret`).
  int HandleEditMouse(int event);
  void TextArea(int* left, int* width) const;
  int TextOrigin(bool scrollToCaret);
  int BoundaryAt(int x);

  TopWindow* top_;
  WindowSnapshot snap_;
  bool tracking_ = false;  // the left button went down on this control (edits: dragging)
  bool pressed_ = false;   // ... and the pointer is still over it
  int scroll_ = 0;         // edit: pixels of text scrolled out on the left
};

}  // namespace platform::ui::fltk
