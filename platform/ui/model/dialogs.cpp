// Dialogs from templates and the dialog manager (the keyboard interface of
// dialogs and message boxes).
#include <algorithm>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/resources.h"
#include "platform/ui/model/scale.h"
#include "platform/ui/model/user32.h"
#include "platform/ui/model/windows.h"

namespace platform::ui {
namespace {

using namespace detail;

WindowKind KindOf(const DialogItemTemplate& item) {
  if (item.className == "EDIT") return WindowKind::kEdit;
  if (item.className == PROGRESS_CLASSA) return WindowKind::kProgress;
  if (RegisteredClassProc(item.className)) return WindowKind::kPainted;
  if (item.className == "BUTTON") {
    switch (item.style & 0xF) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        return WindowKind::kPushButton;
      case BS_GROUPBOX:
        return WindowKind::kGroupBox;
      default:
        return WindowKind::kCheckBox;
    }
  }
  if ((item.style & 0x1F) == SS_ICON) return WindowKind::kIcon;
  return WindowKind::kStatic;
}

// The next tab stop after `from` (or the first one when from is null), in
// template order, wrapping around; null if there is none.
HWND NextTabStop(HWND hDlg, HWND from, bool backward) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* d = Find(hDlg);
  if (!d || d->children.empty()) return nullptr;
  const auto& c = d->children;
  int n = static_cast<int>(c.size());
  int start = -1;
  for (int i = 0; i < n; ++i) {
    if (c[i] == from) start = i;
  }
  if (start < 0) start = backward ? 0 : n - 1;
  for (int step = 1; step <= n; ++step) {
    int i = backward ? (start - step + n * 2) % n : (start + step) % n;
    Window* w = Find(c[i]);
    if (w && (w->style & WS_TABSTOP) && TakesFocus(w)) return c[i];
  }
  return nullptr;
}

// The control that arrow keys move to from `from` (a button or check box):
// the next (or previous) control of its group that takes the focus,
// wrapping within the group. A group starts at a control with WS_GROUP (or
// the first control) and runs to the next one with WS_GROUP. Null if there
// is no other.
HWND NextInGroup(HWND hDlg, HWND from, bool backward) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* d = Find(hDlg);
  Window* f = Find(from);
  if (!d || !f) return nullptr;
  const auto& c = d->children;
  int n = static_cast<int>(c.size());
  int at = static_cast<int>(std::find(c.begin(), c.end(), from) - c.begin());
  if (at >= n) return nullptr;
  auto startsGroup = [&](int i) {
    Window* w = Find(c[i]);
    return i == 0 || (w && (w->style & WS_GROUP));
  };
  int first = at;
  while (!startsGroup(first)) --first;
  int last = at;
  while (last + 1 < n && !startsGroup(last + 1)) ++last;
  int size = last - first + 1;
  for (int step = 1; step < size; ++step) {
    int i = first + ((at - first) + (backward ? size - step : step)) % size;
    Window* w = Find(c[i]);
    if (w && TakesFocus(w)) return c[i];
  }
  return nullptr;
}

void FocusByTab(HWND target) {
  SetFocus(target);
  bool edit = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(target);
    edit = w && w->kind == WindowKind::kEdit;
  }
  // An edit reached with Tab has its whole text selected.
  if (edit) CallProc(target, EM_SETSEL, 0, -1);
}

// The command of Enter outside a push button: the default push button's
// identifier, or IDOK when the dialog has none.
int DefaultCommand(HWND hDlg) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* d = Find(hDlg);
  if (!d) return IDOK;
  for (HWND c : d->children) {
    Window* w = Find(c);
    if (w && w->kind == WindowKind::kPushButton && (w->style & 0xF) == BS_DEFPUSHBUTTON) {
      return w->id;
    }
  }
  return IDOK;
}

void SendCommand(HWND hDlg, int id) {
  HWND item = GetDlgItem(hDlg, id);
  if (item && !IsWindowEnabled(item)) return;
  SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(item));
}

}  // namespace

int DialogUnitsToPixelsX(int x, double scale) {
  return ScalePixels(x * 1.5, scale);
}
int DialogUnitsToPixelsY(int y, double scale) {
  return ScalePixels(y * 1.625, scale);
}
int DialogUnitsToPixelsX(int x) {
  return DialogUnitsToPixelsX(x, DisplayScale());
}
int DialogUnitsToPixelsY(int y) {
  return DialogUnitsToPixelsY(y, DisplayScale());
}

HWND CreateDialogFromTemplate(const DialogTemplate& t, HWND owner, WNDPROC proc, void* object) {
  CreateParams p;
  p.kind = WindowKind::kDialog;
  p.style = t.style & ~static_cast<DWORD>(WS_VISIBLE);
  p.exStyle = t.exStyle;
  p.text = t.title;
  int x = DialogUnitsToPixelsX(t.x), y = DialogUnitsToPixelsY(t.y);
  p.rect = RECT{x, y, x + DialogUnitsToPixelsX(t.cx), y + DialogUnitsToPixelsY(t.cy)};
  p.proc = proc;
  p.object = object;
  HWND dlg = CreateModelWindow(p);
  if (!dlg) return nullptr;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    if (Window* w = Find(dlg)) w->owner = owner;
  }
  for (const DialogItemTemplate& item : t.items) {
    CreateParams c;
    c.kind = KindOf(item);
    c.className = item.className;
    c.style = item.style | WS_CHILD | WS_VISIBLE;
    c.exStyle = item.exStyle;
    c.text = item.text;
    int cx = DialogUnitsToPixelsX(item.x), cy = DialogUnitsToPixelsY(item.y);
    c.rect = RECT{cx, cy, cx + DialogUnitsToPixelsX(item.cx), cy + DialogUnitsToPixelsY(item.cy)};
    c.parent = dlg;
    c.id = item.id;
    if (c.kind == WindowKind::kPainted) c.proc = RegisteredClassProc(item.className);
    HWND h = CreateModelWindow(c);
    if (h && c.kind == WindowKind::kIcon) {
      std::lock_guard<std::mutex> lock(M().mu);
      if (Window* w = Find(h)) w->icon = FindIcon(item.iconId);
    }
  }
  return dlg;
}

void FocusFirstTabStop(HWND hDlg) {
  if (HWND first = NextTabStop(hDlg, nullptr, false)) FocusByTab(first);
}

void RestoreDialogFocus(HWND hDlg) {
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* d = Find(hDlg);
    if (!d || d->ended || !d->focus) return;
    Window* f = Find(d->focus);
    if (f && TakesFocus(f)) return;
  }
  FocusFirstTabStop(hDlg);
}

}  // namespace platform::ui

using namespace platform::ui;
using namespace platform::ui::detail;

BOOL IsDialogMessageA(HWND hDlg, LPMSG msg) {
  HWND focus = nullptr;
  bool enabled = false;
  bool pushButtonFocused = false;
  bool buttonFocused = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(msg->hwnd);
    Window* t = TopOf(w);
    if (!t || t->hwnd != hDlg) return FALSE;
    enabled = EffectivelyEnabled(w) && t->visible;
    focus = t->focus;
    Window* f = Find(focus);
    pushButtonFocused = f && f->kind == WindowKind::kPushButton;
    buttonFocused = pushButtonFocused || (f && f->kind == WindowKind::kCheckBox);
  }
  // A key aimed at the dialog itself arrived while no control had the
  // focus: it was meant for no control here (or for another window), so
  // it neither ends the dialog nor clicks anything.
  const bool forNoControl = msg->hwnd == hDlg;
  if (msg->message == WM_KEYDOWN) {
    bool shift = (msg->lParam & kKeyShift) != 0;
    // Enter and Escape act on their press only: a key held down runs its
    // command once, and one held while a box closes does not reach the
    // dialog below.
    const bool repeat = (msg->lParam & kKeyWasDown) != 0;
    if (repeat && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) return TRUE;
    switch (msg->wParam) {
      case VK_TAB:
        if (enabled) {
          if (HWND next = NextTabStop(hDlg, focus, shift)) FocusByTab(next);
        }
        return TRUE;
      case VK_RETURN:
        // Enter clicks the focused push button; in any other control it is
        // the default button's command (OK when there is none).
        if (enabled && !forNoControl) {
          if (pushButtonFocused) {
            CallProc(focus, BM_CLICK, 0, 0);
          } else {
            SendCommand(hDlg, DefaultCommand(hDlg));
          }
        }
        return TRUE;
      case VK_ESCAPE:
        if (enabled && !forNoControl) SendCommand(hDlg, IDCANCEL);
        return TRUE;
      case VK_LEFT:
      case VK_UP:
      case VK_RIGHT:
      case VK_DOWN:
        // Arrows move between the buttons and boxes of a group; an edit
        // keeps them for its caret.
        if (!buttonFocused) break;
        if (enabled) {
          bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
          if (HWND next = NextInGroup(hDlg, focus, back)) SetFocus(next);
        }
        return TRUE;
      default:
        break;
    }
  }
  DispatchMessageA(msg);
  return TRUE;
}
