// MessageBoxA: a model window of kind message box with its own modal loop
// on the calling thread (any thread).
#include <algorithm>
#include <string>

#include "platform/posix/diagnostics.h"
#include "platform/ui/model/backend.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/scale.h"
#include "platform/ui/model/textlines.h"
#include "platform/ui/model/user32.h"
#include "platform/ui/model/windows.h"

namespace platform::ui::detail {
namespace {

LRESULT BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) {
    // OK, Enter, Escape and the close box all end an OK box with IDOK; a
    // box with a Cancel button ends with IDCANCEL on Cancel, Escape and
    // its close box.
    int id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL) {
      EndDialog(hwnd, id == IDCANCEL && GetDlgItem(hwnd, IDCANCEL) ? IDCANCEL : IDOK);
    }
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Layout in pixels with the dialog font's average character (6 x 13 in
// the classic layout, times the display scale): lines wrap at 80
// characters, the icon sits left, OK is centred below.
struct Layout {
  RECT client, icon, text, ok, cancel;  // cancel: MB_OKCANCEL, right of OK
};

// A box that is not shown: what it would say goes to the diagnostics hook
// as one line, "<caption>: <text>" with each run of line breaks made one
// blank (and none at the end).
void SayInstead(const std::string& caption, const std::string& text) {
  std::string line = caption + ": ";
  bool lineBreak = false;
  for (char c : text) {
    if (c == '\n' || c == '\r') {
      lineBreak = true;
      continue;
    }
    if (lineBreak) line += ' ';
    lineBreak = false;
    line += c;
  }
  Diagnose(line);
}

Layout Measure(const std::string& text, bool hasIcon, bool withCancel) {
  constexpr int kWrap = 80;
  const int kMargin = Px(12), kCharW = Px(6), kLineH = Px(13), kIcon = Px(32);
  const int kButtonW = Px(75), kButtonH = Px(23);
  int lines = 0, widest = 0;
  for (const std::string& line : TextLines(text)) {
    int n = static_cast<int>(line.size());
    lines += std::max(1, (n + kWrap - 1) / kWrap);
    widest = std::max(widest, std::min(n, kWrap));
  }
  lines = std::max(lines, 1);
  int textW = std::max(widest * kCharW, 60);
  int textH = lines * kLineH;
  int left = kMargin + (hasIcon ? kIcon + kMargin : 0);
  int bodyH = std::max(textH, hasIcon ? kIcon : 0);
  Layout l;
  const int buttonsW = withCancel ? 2 * kButtonW + kMargin / 2 : kButtonW;
  int w = std::max(left + textW + kMargin, buttonsW + 2 * kMargin);
  int h = kMargin + bodyH + kMargin + kButtonH + kMargin;
  l.client = RECT{0, 0, w, h};
  l.icon = RECT{kMargin, kMargin, kMargin + kIcon, kMargin + kIcon};
  int textTop = kMargin + (bodyH - textH) / 2;
  l.text = RECT{left, textTop, left + textW, textTop + textH};
  int bx = (w - buttonsW) / 2, by = h - kMargin - kButtonH;
  l.ok = RECT{bx, by, bx + kButtonW, by + kButtonH};
  bx = w - (w - buttonsW) / 2 - kButtonW;
  l.cancel = RECT{bx, by, bx + kButtonW, by + kButtonH};
  return l;
}

}  // namespace
}  // namespace platform::ui::detail

using namespace platform::ui;
using namespace platform::ui::detail;

namespace platform::ui {

void SetBoxWatcher(BoxWatcher* watcher) {
  std::lock_guard<std::mutex> lock(M().mu);
  M().boxWatcher = watcher;
}

}  // namespace platform::ui

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  BoxEvent event{caption ? caption : "Error", text ? text : "", type, CurrentThread(), nullptr};
  const std::string& body = event.text;
  const std::string& title = event.caption;
  bool watched = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    BoxWatcher* watcher = M().boxWatcher;
    watched = watcher != nullptr;
    if (M().closeAll) {
      // The program is closing (RequestCloseAll): the box would be closed
      // at once; what it says stays on standard error.
      if (watcher) {
        watcher->Opened(event);
        ModelChanged();
      }
      SayInstead(title, body);
      return IDOK;
    }
    if (watcher && watcher->EndAtOnce()) {
      watcher->Opened(event);
      ModelChanged();
      return IDOK;
    }
  }
  if (!watched && CurrentBackend()->IsHeadless()) {
    SayInstead(title, body);
    return IDOK;
  }

  bool hasIcon = (type & MB_ICONMASK) != 0;
  const bool withCancel = (type & MB_TYPEMASK) == MB_OKCANCEL;
  Layout l = Measure(body, hasIcon, withCancel);
  CreateParams p;
  p.kind = WindowKind::kMessageBox;
  p.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  p.exStyle = WS_EX_DLGMODALFRAME;
  p.text = title;
  int sx = (GetSystemMetrics(SM_CXSCREEN) - l.client.right) / 2;
  int sy = (GetSystemMetrics(SM_CYSCREEN) - l.client.bottom) / 2;
  p.rect = RECT{sx, sy, sx + l.client.right, sy + l.client.bottom};
  p.proc = BoxProc;
  HWND box = CreateModelWindow(p);
  if (!box) return 0;
  auto child = [&](WindowKind kind, const char* cls, DWORD style, const std::string& t, RECT r,
                   int id) {
    CreateParams c;
    c.kind = kind;
    c.className = cls;
    c.style = style | WS_CHILD | WS_VISIBLE;
    c.text = t;
    c.rect = r;
    c.parent = box;
    c.id = id;
    return CreateModelWindow(c);
  };
  if (hasIcon) child(WindowKind::kIcon, "STATIC", SS_ICON, "", l.icon, -1);
  child(WindowKind::kStatic, "STATIC", SS_LEFT | SS_NOPREFIX, body, l.text, 0xFFFF);
  HWND ok =
      child(WindowKind::kPushButton, "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, "OK", l.ok, IDOK);
  if (withCancel) {
    child(WindowKind::kPushButton, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, "Cancel", l.cancel,
          IDCANCEL);
  }
  {
    std::lock_guard<std::mutex> lock(M().mu);
    if (Window* w = Find(box)) {
      w->boxType = type;
      w->owner = owner;
    }
    if (M().boxWatcher) {
      event.hwnd = box;
      M().boxWatcher->Opened(event);
      ModelChanged();
    }
  }
  bool reenable = owner && IsWindowEnabled(owner);
  if (reenable) EnableWindow(owner, FALSE);
  SetFocus(ok);
  ShowWindow(box, SW_SHOW);
  const INT_PTR result = RunModalLoop(box);
  if (reenable) EnableWindow(owner, TRUE);
  DestroyWindow(box);
  {
    std::lock_guard<std::mutex> lock(M().mu);
    if (M().boxWatcher) M().boxWatcher->Closed(box);
    ModelChanged();
  }
  return result == IDCANCEL ? IDCANCEL : IDOK;
}
