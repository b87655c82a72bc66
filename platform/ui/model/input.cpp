// Input from a backend: each Post* call judges its input as it arrives and
// either posts it to the queue of the thread owning the window or drops it.
#include <mutex>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/user32.h"

namespace platform::ui::detail {

bool TakesInput(const Window* w) {
  if (!w || !w->visible || !EffectivelyEnabled(w)) return false;
  while (w->parent) {
    w = Find(w->parent);
    if (!w) return false;
  }
  return w->visible;
}

}  // namespace platform::ui::detail

namespace platform::ui {
namespace {

using namespace detail;

// Which window an input is for.
enum class Aim {
  kWindow,    // the window named (a click on a control)
  kTopLevel,  // the top-level of the window named (close box, system menu)
  kFocus,     // the control that has the focus in that top-level now, or the
              // top-level itself when none has
  kEditMenu,  // an edit that takes input (its own menu), else its top-level
};

// The one place where input is judged as it arrives: a window that does not
// take input now (TakesInput) loses it, even if it is enabled again before
// its thread would have handled it. This is what makes a second click on a
// button that its first click has disabled do nothing. Keys are bound to
// the focus they arrive at. FALSE only if the window (or its thread) does
// not exist.
bool Deliver(HWND aimedAt, Aim aim, UINT msg, WPARAM w, LPARAM l) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* target = Find(aimedAt);
  if (!target) return false;
  if (aim == Aim::kTopLevel || aim == Aim::kFocus) target = TopOf(target);
  if (aim == Aim::kFocus && target->focus) {
    if (Window* focus = Find(target->focus)) target = focus;
  }
  if (aim == Aim::kEditMenu && !(target->kind == WindowKind::kEdit && TakesInput(target))) {
    target = TopOf(target);
  }
  if (!TakesInput(target)) return true;
  return PostLocked(target->hwnd, msg, w, l);
}

// A popup menu of top has closed: only the model's record of the open menu
// (`open`) changes, nothing runs on the owning thread.
bool MenuClosed(HWND top, bool Window::*open) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = TopOf(Find(top));
  if (!t) return false;
  t->*open = false;
  ModelChanged();
  return true;
}

}  // namespace

bool PostClick(HWND window) {
  return Deliver(window, Aim::kWindow, kMsgInputClick, 0, 0);
}

bool PostRightClick(HWND window, int x, int y) {
  LPARAM pos = static_cast<LPARAM>((x & 0xFFFF) | ((y & 0xFFFF) << 16));
  return Deliver(window, Aim::kEditMenu, kMsgInputRightClick, 0, pos);
}

bool PostKey(HWND top, UINT vk, bool shift, bool alt, bool ctrl, bool repeat) {
  LPARAM bits = 1 | (shift ? kKeyShift : 0) | (alt ? kKeyAlt : 0) | (ctrl ? kKeyCtrl : 0) |
                (repeat ? kKeyWasDown : 0);
  return Deliver(top, Aim::kFocus, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, bits);
}

bool PostKeyUp(HWND top, UINT vk) {
  return Deliver(top, Aim::kFocus, WM_KEYUP, vk, 1 | kKeyWasDown | kKeyReleased);
}

bool PostChar(HWND top, char ch) {
  return Deliver(top, Aim::kFocus, WM_CHAR, static_cast<unsigned char>(ch), 1);
}

bool PostEditMouse(HWND edit, EditMouse what, int boundary) {
  return Deliver(edit, Aim::kWindow, kMsgInputEditMouse, static_cast<WPARAM>(what), boundary);
}

bool PostPaste(HWND edit, const std::string& text) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(edit);
  if (!w) return false;
  if (!TakesInput(w)) return true;
  // The text waits with the window; the message names it.
  std::uint32_t sequence = ++M().nextPaste;
  w->pastes[sequence] = text;
  return PostLocked(edit, kMsgInputPaste, sequence, 0);
}

bool PostEditMenuChoice(HWND top, UINT id) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = TopOf(Find(top));
  if (!t) return false;
  // Only an item that the open menu offered counts; the menu closes.
  bool offered = false;
  for (const MenuItem& item : t->editMenu) {
    offered |= t->editMenuOpen && !item.separator && !item.grayed && item.id == id;
  }
  t->editMenuOpen = false;
  ModelChanged();
  Window* edit = Find(t->editMenuFor);
  if (!offered || !edit || !TakesInput(edit)) return true;
  return PostLocked(edit->hwnd, kMsgInputEditMenu, id, 0);
}

bool PostEditMenuDismissed(HWND top) {
  return MenuClosed(top, &Window::editMenuOpen);
}

bool PostCloseBox(HWND top) {
  return Deliver(top, Aim::kTopLevel, kMsgInputSysCommand, SC_CLOSE, 0);
}

bool PostSystemMenuChoice(HWND top, UINT id) {
  // The popup has closed, whether or not the choice is taken.
  PostSystemMenuDismissed(top);
  return Deliver(top, Aim::kTopLevel, kMsgInputSysCommand, id, 1);
}

bool PostSystemMenuDismissed(HWND top) {
  return MenuClosed(top, &Window::menuOpen);
}

// The window manager's doings and exposures are no input: the model follows
// them whatever the window's state.
bool PostIconic(HWND top, bool iconic) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = TopOf(Find(top));
  return t && PostLocked(t->hwnd, kMsgInputIconic, iconic ? 1 : 0, 0);
}

bool PostPaint(HWND top) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = TopOf(Find(top));
  return t && PostLocked(t->hwnd, WM_PAINT, 0, 0);
}

}  // namespace platform::ui
