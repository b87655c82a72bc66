// The built-in controls. Their behaviour lives here, in the model, so every
// backend behaves the same: a backend only draws what the snapshot shows.
#include <algorithm>
#include <cctype>

#include "platform/ui/backend.h"
#include "platform/ui/internal.h"
#include "platform/ui/user32.h"

namespace platform::ui::detail {
namespace {

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
// does. Gives whether the button was held down before.
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

int Clamp(int v, int lo, int hi) {
  return std::max(lo, std::min(v, hi));
}

void SetSelection(Window* w, int start, int end) {
  int n = static_cast<int>(w->text.size());
  if (start < 0) {
    w->selStart = w->selEnd = Clamp(w->selEnd, 0, n);
    return;
  }
  if (end < 0 || end > n) end = n;
  w->selStart = Clamp(std::min(start, end), 0, n);
  w->selEnd = Clamp(std::max(start, end), 0, n);
}

// Replaces the selection with `insert` (may be empty). Lock held.
void ReplaceSelection(Window* w, const std::string& insert) {
  w->text.replace(static_cast<std::size_t>(w->selStart),
                  static_cast<std::size_t>(w->selEnd - w->selStart), insert);
  w->selStart += static_cast<int>(insert.size());
  w->selEnd = w->selStart;
}

// A character typed into an edit. The limit bounds what the user types;
// ES_NUMBER refuses non-digits; read-only refuses everything. TRUE if the
// text changed.
bool TypeChar(Window* w, char ch) {
  if (w->style & ES_READONLY) return false;
  if (ch == '\b') {
    if (w->selStart == w->selEnd) {
      if (w->selStart == 0) return false;
      --w->selStart;
    }
    ReplaceSelection(w, "");
    return true;
  }
  unsigned char c = static_cast<unsigned char>(ch);
  if (c < 0x20 || c == 0x7F) return false;
  if ((w->style & ES_NUMBER) && !std::isdigit(c)) return false;
  int after = static_cast<int>(w->text.size()) - (w->selEnd - w->selStart) + 1;
  if (after > w->limit) return false;
  if (w->style & ES_UPPERCASE) ch = static_cast<char>(std::toupper(c));
  if (w->style & ES_LOWERCASE) ch = static_cast<char>(std::tolower(c));
  ReplaceSelection(w, std::string(1, ch));
  return true;
}

// Caret keys and Delete. TRUE if the text changed.
bool EditKey(Window* w, UINT vk, bool* moved) {
  int n = static_cast<int>(w->text.size());
  int caret = w->selEnd;
  switch (vk) {
    case VK_LEFT:
      caret = w->selStart != w->selEnd ? w->selStart : std::max(0, caret - 1);
      break;
    case VK_RIGHT:
      caret = w->selStart != w->selEnd ? w->selEnd : std::min(n, caret + 1);
      break;
    case VK_HOME:
      caret = 0;
      break;
    case VK_END:
      caret = n;
      break;
    case VK_DELETE:
      if (w->style & ES_READONLY) return false;
      if (w->selStart == w->selEnd) {
        if (w->selEnd >= n) return false;
        ++w->selEnd;
      }
      ReplaceSelection(w, "");
      return true;
    default:
      return false;
  }
  w->selStart = w->selEnd = caret;
  *moved = true;
  return false;
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
      if (wParam == VK_SPACE) HoldDown(hwnd, true);
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

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN: {
      // A click that focuses the edit puts the caret at the end (the model
      // has no text metrics to place it under the pointer).
      bool had = false;
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* t = TopOf(Find(hwnd));
        had = t && t->focus == hwnd;
      }
      SetFocus(hwnd);
      if (!had) {
        {
          std::lock_guard<std::mutex> lock(M().mu);
          if (Window* w = Find(hwnd)) w->selStart = w->selEnd = static_cast<int>(w->text.size());
        }
        NotifyChanged(hwnd, kChangeSelection);
      }
      return 0;
    }
    case WM_CHAR:
    case WM_KEYDOWN: {
      bool changed = false;
      bool moved = false;
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* w = Find(hwnd);
        if (!w) return 0;
        if (msg == WM_CHAR) {
          changed = TypeChar(w, static_cast<char>(wParam));
        } else {
          changed = EditKey(w, static_cast<UINT>(wParam), &moved);
        }
      }
      if (changed) {
        NotifyChanged(hwnd, kChangeText | kChangeSelection);
        NotifyParent(hwnd, EN_CHANGE);
      } else if (moved) {
        NotifyChanged(hwnd, kChangeSelection);
      }
      return 0;
    }
    case EM_LIMITTEXT: {
      std::lock_guard<std::mutex> lock(M().mu);
      if (Window* w = Find(hwnd)) w->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(wParam);
      return 0;
    }
    case EM_GETLIMITTEXT: {
      std::lock_guard<std::mutex> lock(M().mu);
      Window* w = Find(hwnd);
      return w ? w->limit : 0;
    }
    case EM_SETSEL: {
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* w = Find(hwnd);
        if (!w) return 0;
        SetSelection(w, static_cast<int>(static_cast<LONG_PTR>(wParam)), static_cast<int>(lParam));
      }
      NotifyChanged(hwnd, kChangeSelection);
      return 0;
    }
    case EM_GETSEL: {
      std::lock_guard<std::mutex> lock(M().mu);
      Window* w = Find(hwnd);
      if (!w) return 0;
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(w->selStart);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(w->selEnd);
      return MAKEWPARAM(w->selStart, w->selEnd);
    }
    case EM_SETREADONLY: {
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* w = Find(hwnd);
        if (!w) return 0;
        w->style =
            wParam ? (w->style | ES_READONLY) : (w->style & ~static_cast<DWORD>(ES_READONLY));
      }
      NotifyChanged(hwnd, kChangeState);
      return TRUE;
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
