// The built-in buttons and static controls (the edit control is in
// edit.cpp). Their behaviour lives here, in the model, so every backend
// behaves the same: a backend only draws what the snapshot shows.
#include "platform/ui/model/backend.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/user32.h"

namespace platform::ui::detail {

void NotifyParent(HWND hwnd, WORD code) {
  HWND parent = nullptr;
  int id = 0;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return;
    parent = w->parent;
    id = w->id;
  }
  if (parent) {
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hwnd));
  }
}

namespace {

// A click (mouse, Space or BM_CLICK): the check box advances its own state
// first, then the parent hears BN_CLICKED.
void Click(HWND hwnd) {
  bool changed = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    // A group box is a frame: it takes no clicks.
    if (!w || !EffectivelyEnabled(w) || w->kind == WindowKind::kGroupBox) return;
    if (w->kind == WindowKind::kCheckBox) {
      switch (w->style & 0xF) {
        case BS_AUTO3STATE:
          w->check = (w->check + 1) % 3;
          changed = true;
          break;
        case BS_AUTOCHECKBOX:
          w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
          changed = true;
          break;
        default:
          break;
      }
    }
  }
  if (changed) NotifyChanged(hwnd, kChangeState);
  NotifyParent(hwnd, BN_CLICKED);
}

// Space holds a button down and its release clicks it, as a mouse button
// does: a held Space clicks once, when it is let go. Gives whether the
// button was held down before.
bool HoldDown(HWND hwnd, bool down) {
  bool was = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w || (w->kind != WindowKind::kPushButton && w->kind != WindowKind::kCheckBox)) {
      return false;
    }
    was = w->pushed;
    w->pushed = down && EffectivelyEnabled(w);
    if (was == w->pushed) return was;
  }
  NotifyChanged(hwnd, kChangeState);
  return was;
}

}  // namespace

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_LBUTTONUP:
    case BM_CLICK:
      Click(hwnd);
      return 0;
    case WM_KEYDOWN:
      // Only the press itself holds the button down: Space that was held
      // when the focus came here (its repeats) clicks nothing.
      if (wParam == VK_SPACE && !(lParam & kKeyWasDown)) HoldDown(hwnd, true);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && HoldDown(hwnd, false)) Click(hwnd);
      return 0;
    case BM_SETCHECK:
    case BM_GETCHECK: {
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* w = Find(hwnd);
        if (!w) return 0;
        if (msg == BM_GETCHECK) return w->check;
        if (w->kind != WindowKind::kCheckBox) return 0;
        w->check = static_cast<int>(wParam) == BST_INDETERMINATE ? BST_INDETERMINATE
                   : wParam                                      ? BST_CHECKED
                                                                 : BST_UNCHECKED;
      }
      NotifyChanged(hwnd, kChangeState);
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) return 0;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace platform::ui::detail
