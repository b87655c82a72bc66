// The edit control: typing, the caret and the selection (keys and mouse),
// the one-level undo, the clipboard and the primary selection, and the edit
// menu. Text that arrives by any way (typed, pasted, from the menu) obeys
// the same rules: the limit, digits only, no control characters.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/user32.h"

namespace platform::ui {

std::string ClipboardText(ClipboardKind which) {
  std::lock_guard<std::mutex> lock(detail::M().mu);
  return detail::M().clipboard[static_cast<int>(which)];
}

void SetClipboardText(ClipboardKind which, std::string text) {
  std::lock_guard<std::mutex> lock(detail::M().mu);
  detail::M().clipboard[static_cast<int>(which)] = std::move(text);
}

}  // namespace platform::ui

namespace platform::ui::detail {
namespace {

// Control characters of Ctrl+letter (PostChar).
constexpr char kCtrlA = 0x01;
constexpr char kCtrlC = 0x03;
constexpr char kCtrlV = 0x16;
constexpr char kCtrlX = 0x18;
constexpr char kCtrlZ = 0x1A;

int Length(const Window* w) {
  return static_cast<int>(w->text.size());
}
int Caret(const Window* w) {
  return w->caretAtStart ? w->selStart : w->selEnd;
}
int Anchor(const Window* w) {
  return w->caretAtStart ? w->selEnd : w->selStart;
}
bool Editable(const Window* w) {
  return (w->style & ES_READONLY) == 0;
}
bool HasSelection(const Window* w) {
  return w->selStart != w->selEnd;
}
std::string Selected(const Window* w) {
  return w->text.substr(static_cast<std::size_t>(w->selStart),
                        static_cast<std::size_t>(w->selEnd - w->selStart));
}

// Selects from `anchor` to `caret` (either order), both kept in the text.
void Select(Window* w, int anchor, int caret) {
  int n = Length(w);
  anchor = std::clamp(anchor, 0, n);
  caret = std::clamp(caret, 0, n);
  w->selStart = std::min(anchor, caret);
  w->selEnd = std::max(anchor, caret);
  w->caretAtStart = caret < anchor;
}

// EM_SETSEL: start is the anchor, end the caret; a start of -1 removes the
// selection and leaves the caret, an end of -1 (or past the text) is the end.
void SetSelection(Window* w, int start, int end) {
  if (start < 0) {
    Select(w, Caret(w), Caret(w));
    return;
  }
  if (end < 0) end = Length(w);
  Select(w, start, end);
}

bool Blank(char c) {
  return c == ' ' || c == '\t';
}

// The word at boundary b: the run of non-blanks (or of blanks) holding the
// character after b (before b at the end of the text).
std::pair<int, int> WordAt(const std::string& t, int b) {
  int n = static_cast<int>(t.size());
  if (n == 0) return {0, 0};
  int i = std::clamp(b, 0, n - 1);
  bool blank = Blank(t[static_cast<std::size_t>(i)]);
  int start = i, end = i + 1;
  while (start > 0 && Blank(t[static_cast<std::size_t>(start - 1)]) == blank) --start;
  while (end < n && Blank(t[static_cast<std::size_t>(end)]) == blank) ++end;
  return {start, end};
}

// A character a user can put into an edit: no control character (C0, DEL,
// C1), no NUL.
bool Printable(unsigned char c) {
  return (c >= 0x20 && c < 0x7F) || c >= 0xA0;
}

// What the edit takes of `text` in place of its selection, by the rules of
// typing: the first line only (a line break ends it), without the
// characters that cannot be typed; ES_NUMBER refuses anything in it but
// digits (nothing is taken then), the limit cuts what does not fit,
// ES_UPPERCASE and ES_LOWERCASE convert.
std::optional<std::string> Acceptable(const Window* w, std::string_view text) {
  text = text.substr(0, text.find_first_of("\r\n"));
  std::string out;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if ((w->style & ES_NUMBER) && !std::isdigit(c)) return std::nullopt;
    if (!Printable(c)) continue;
    if (w->style & ES_UPPERCASE) ch = static_cast<char>(std::toupper(c));
    if (w->style & ES_LOWERCASE) ch = static_cast<char>(std::tolower(c));
    out.push_back(ch);
  }
  int room = w->limit - (Length(w) - (w->selEnd - w->selStart));
  out.resize(static_cast<std::size_t>(std::clamp(room, 0, static_cast<int>(out.size()))));
  return out;
}

// Replaces the selection with `insert` as a change by the user. The state
// before becomes the undo; a run of typing keeps the state before the run.
void Change(Window* w, const std::string& insert, bool typing) {
  if (!(typing && w->typing)) w->undo = EditUndo{true, w->text, w->selStart, w->selEnd};
  w->typing = typing;
  w->text.replace(static_cast<std::size_t>(w->selStart),
                  static_cast<std::size_t>(w->selEnd - w->selStart), insert);
  int caret = w->selStart + static_cast<int>(insert.size());
  Select(w, caret, caret);
}

// What a message did, to be told outside the model lock.
struct Effects {
  bool changed = false;                // text and selection: redraw, EN_CHANGE
  bool moved = false;                  // the caret or the selection only
  std::optional<std::string> copy;     // to the clipboard
  std::optional<std::string> primary;  // the user's selection, for the primary
  std::optional<ClipboardKind> paste;  // text to ask the backend for
};

// The selection moved by the user: a run of typing ends, and a selection
// made becomes the primary one when `claim`.
void Moved(Window* w, Effects* e, bool claim) {
  w->typing = false;
  e->moved = true;
  if (claim && HasSelection(w)) e->primary = Selected(w);
}

void TypeChar(Window* w, char ch, Effects* e) {
  if (!Editable(w)) return;
  if (ch == '\b') {
    if (!HasSelection(w)) {
      if (w->selStart == 0) return;
      Select(w, w->selStart - 1, w->selStart);
    }
    Change(w, "", true);
    e->changed = true;
    return;
  }
  std::optional<std::string> take = Acceptable(w, std::string_view(&ch, 1));
  if (!take || take->empty()) return;
  Change(w, *take, true);
  e->changed = true;
}

void Copy(Window* w, Effects* e) {
  if (!HasSelection(w)) return;
  e->copy = Selected(w);
}

// Cut and Delete take the selection away; Cut copies it first.
void Remove(Window* w, bool cut, Effects* e) {
  if (!Editable(w) || !HasSelection(w)) return;
  if (cut) Copy(w, e);
  Change(w, "", false);
  e->changed = true;
}

void Undo(Window* w, Effects* e) {
  if (!Editable(w) || !w->undo.valid) return;
  // Undo again restores what was undone.
  EditUndo now{true, w->text, w->selStart, w->selEnd};
  w->text = w->undo.text;
  Select(w, w->undo.selStart, w->undo.selEnd);
  w->undo = std::move(now);
  w->typing = false;
  e->changed = true;
}

void Paste(Window* w, ClipboardKind from, Effects* e) {
  if (Editable(w)) e->paste = from;
}

void SelectAll(Window* w, Effects* e) {
  Select(w, 0, Length(w));
  Moved(w, e, true);
}

// Caret keys, Delete, Insert. FALSE for keys the edit does not take.
bool Key(Window* w, UINT vk, bool shift, bool ctrl, Effects* e) {
  int n = Length(w), caret = Caret(w);
  switch (vk) {
    case VK_LEFT:
      caret = shift || !HasSelection(w) ? caret - 1 : w->selStart;
      break;
    case VK_RIGHT:
      caret = shift || !HasSelection(w) ? caret + 1 : w->selEnd;
      break;
    case VK_HOME:
      caret = 0;
      break;
    case VK_END:
      caret = n;
      break;
    case VK_DELETE:
      if (shift) {
        Remove(w, true, e);
      } else if (Editable(w)) {
        if (!HasSelection(w)) {
          if (w->selEnd >= n) return true;
          Select(w, w->selStart, w->selStart + 1);
        }
        Remove(w, false, e);
      }
      return true;
    case VK_INSERT:
      if (ctrl) Copy(w, e);
      if (shift) Paste(w, ClipboardKind::kClipboard, e);
      return true;
    default:
      return false;
  }
  Select(w, shift ? Anchor(w) : caret, caret);
  Moved(w, e, shift);
  return true;
}

void Char(Window* w, char ch, Effects* e) {
  switch (ch) {
    case kCtrlA:
      SelectAll(w, e);
      return;
    case kCtrlC:
      Copy(w, e);
      return;
    case kCtrlV:
      Paste(w, ClipboardKind::kClipboard, e);
      return;
    case kCtrlX:
      Remove(w, true, e);
      return;
    case kCtrlZ:
      Undo(w, e);
      return;
    default:
      TypeChar(w, ch, e);
      return;
  }
}

// Whether the mouse action gives the edit the focus (before it acts).
bool Focuses(EditMouse what, bool editable) {
  switch (what) {
    case EditMouse::kPress:
    case EditMouse::kShiftPress:
    case EditMouse::kDoubleClick:
      return true;
    case EditMouse::kMiddleClick:
      return editable;
    default:
      return false;
  }
}

void Mouse(Window* w, EditMouse what, int at, Effects* e) {
  switch (what) {
    case EditMouse::kPress:
      w->dragging = true;
      Select(w, at, at);
      Moved(w, e, false);
      return;
    case EditMouse::kShiftPress:
      w->dragging = true;
      Select(w, Anchor(w), at);
      Moved(w, e, false);
      return;
    case EditMouse::kDoubleClick: {
      // The word stays selected until the button is up.
      w->dragging = false;
      auto [start, end] = WordAt(w->text, at);
      Select(w, start, end);
      Moved(w, e, true);
      return;
    }
    case EditMouse::kDrag:
    case EditMouse::kRelease:
      // The selection follows the pointer while the button that went down
      // here is held, up to where it comes up.
      if (w->dragging) {
        Select(w, Anchor(w), at);
        Moved(w, e, false);
      }
      if (what == EditMouse::kRelease) {
        w->dragging = false;
        if (HasSelection(w)) e->primary = Selected(w);
      }
      return;
    case EditMouse::kMiddleClick:
      // The primary selection goes where the pointer is.
      if (!Editable(w)) return;
      Select(w, at, at);
      Moved(w, e, false);
      Paste(w, ClipboardKind::kPrimary, e);
      return;
  }
}

// A pasted text arrived: it replaces the selection by the rules of typing.
void Pasted(Window* w, std::uint32_t sequence, Effects* e) {
  auto it = w->pastes.find(sequence);
  if (it == w->pastes.end()) return;
  std::string text = std::move(it->second);
  // Older ones whose messages were dropped go too.
  w->pastes.erase(w->pastes.begin(), std::next(it));
  if (!Editable(w)) return;
  std::optional<std::string> take = Acceptable(w, text);
  if (!take || take->empty()) return;
  Change(w, *take, false);
  e->changed = true;
}

// The commands of the edit menu and of the program's messages.
void Command(Window* w, UINT id, Effects* e) {
  switch (id) {
    case WM_UNDO:
    case EM_UNDO:
      Undo(w, e);
      return;
    case WM_CUT:
      Remove(w, true, e);
      return;
    case WM_COPY:
      Copy(w, e);
      return;
    case WM_PASTE:
      Paste(w, ClipboardKind::kClipboard, e);
      return;
    case WM_CLEAR:
      Remove(w, false, e);
      return;
    case EM_SETSEL:
      SelectAll(w, e);
      return;
    default:
      return;
  }
}

std::vector<MenuItem> EditMenuItems(const Window* w, bool clipboardHasText) {
  bool editable = Editable(w), selected = HasSelection(w);
  bool all = w->selStart == 0 && w->selEnd == Length(w);
  return {
      {WM_UNDO, "&Undo", false, !(editable && w->undo.valid)},
      {0, "", true, false},
      {WM_CUT, "Cu&t", false, !(editable && selected)},
      {WM_COPY, "&Copy", false, !selected},
      {WM_PASTE, "&Paste", false, !(editable && clipboardHasText)},
      {WM_CLEAR, "&Delete", false, !(editable && selected)},
      {0, "", true, false},
      {EM_SETSEL, "Select &All", false, all},
  };
}

// Right click (lParam: x | y << 16 in the top-level's client area) or the
// menu key (lParam -1): the edit takes the focus and its menu opens.
void OpenEditMenu(HWND hwnd, LPARAM where) {
  bool clipboard = CurrentBackend()->ClipboardMayHoldText();
  SetFocus(hwnd);
  HWND top = nullptr;
  int x = 0, y = 0;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    Window* t = TopOf(w);
    if (!w || !t || !t->visible) return;
    if (where == -1) {
      // Below the field, as a menu dropped from it.
      x = w->rect.left;
      y = w->rect.bottom;
    } else {
      x = static_cast<short>(LOWORD(where));
      y = static_cast<short>(HIWORD(where));
    }
    t->editMenu = EditMenuItems(w, clipboard);
    t->editMenuFor = hwnd;
    t->editMenuOpen = true;
    top = t->hwnd;
    ModelChanged();
  }
  CurrentBackend()->PopupEditMenu(top, x, y);
}

// Tells what a message did: the backend, the parent, the clipboard.
void Tell(HWND hwnd, const Effects& e) {
  if (e.copy || e.primary) {
    std::lock_guard<std::mutex> lock(M().mu);
    if (e.copy) M().clipboard[static_cast<int>(ClipboardKind::kClipboard)] = *e.copy;
    if (e.primary) M().clipboard[static_cast<int>(ClipboardKind::kPrimary)] = *e.primary;
  }
  if (e.copy) CurrentBackend()->CopyText(ClipboardKind::kClipboard, *e.copy);
  if (e.primary) CurrentBackend()->CopyText(ClipboardKind::kPrimary, *e.primary);
  if (e.changed) {
    NotifyChanged(hwnd, kChangeText | kChangeSelection);
    NotifyParent(hwnd, EN_CHANGE);
  } else if (e.moved) {
    NotifyChanged(hwnd, kChangeSelection);
  }
  if (e.paste) CurrentBackend()->RequestPaste(hwnd, *e.paste);
}

// Runs `act` on the edit under the model lock, then tells what it did.
template <typename Act>
LRESULT Edit(HWND hwnd, Act act) {
  Effects e;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return 0;
    act(w, &e);
  }
  Tell(hwnd, e);
  return 0;
}

}  // namespace

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN: {
      // A click that gives no place (PostClick) and focuses the edit puts
      // the caret at the end; a backend that draws the text gives the place
      // (kMsgInputEditMouse).
      bool had = false;
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* t = TopOf(Find(hwnd));
        had = t && t->focus == hwnd;
      }
      SetFocus(hwnd);
      if (had) return 0;
      return Edit(hwnd, [](Window* w, Effects* e) {
        Select(w, Length(w), Length(w));
        Moved(w, e, false);
      });
    }
    case kMsgInputEditMouse: {
      auto what = static_cast<EditMouse>(wParam);
      bool focus = false;
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* w = Find(hwnd);
        if (!w) return 0;
        focus = Focuses(what, Editable(w));
      }
      if (focus) SetFocus(hwnd);
      return Edit(hwnd,
                  [&](Window* w, Effects* e) { Mouse(w, what, static_cast<int>(lParam), e); });
    }
    case WM_CHAR:
      return Edit(hwnd, [&](Window* w, Effects* e) { Char(w, static_cast<char>(wParam), e); });
    case WM_KEYDOWN: {
      bool shift = (lParam & kKeyShift) != 0, ctrl = (lParam & kKeyCtrl) != 0;
      if (wParam == VK_APPS || (wParam == VK_F10 && shift)) {
        OpenEditMenu(hwnd, -1);
        return 0;
      }
      return Edit(
          hwnd, [&](Window* w, Effects* e) { Key(w, static_cast<UINT>(wParam), shift, ctrl, e); });
    }
    case WM_CONTEXTMENU:
      OpenEditMenu(hwnd, lParam);
      return 0;
    case kMsgInputEditMenu:
      return Edit(hwnd, [&](Window* w, Effects* e) { Command(w, static_cast<UINT>(wParam), e); });
    case kMsgInputPaste:
      return Edit(hwnd,
                  [&](Window* w, Effects* e) { Pasted(w, static_cast<std::uint32_t>(wParam), e); });
    case WM_UNDO:
    case EM_UNDO:
    case WM_CUT:
    case WM_COPY:
    case WM_PASTE:
    case WM_CLEAR:
      return Edit(hwnd, [&](Window* w, Effects* e) { Command(w, msg, e); });
    case EM_CANUNDO: {
      std::lock_guard<std::mutex> lock(M().mu);
      Window* w = Find(hwnd);
      return w && w->undo.valid;
    }
    case EM_EMPTYUNDOBUFFER: {
      std::lock_guard<std::mutex> lock(M().mu);
      if (Window* w = Find(hwnd)) w->undo = EditUndo{};
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
        w->typing = false;
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

}  // namespace platform::ui::detail
