// Windows that paint themselves: registered classes, the paint requests,
// the drawing calls recorded as the window's drawing, and the progress bar.
#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/gdi32.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/user32.h"

namespace platform::ui::detail {
namespace {

std::map<std::string, WNDPROC>& Classes() {
  static auto* classes = new std::map<std::string, WNDPROC>;
  return *classes;
}

// The window an HDC paints, under the lock (null if it went).
Window* Painted(HDC dc) {
  return Find(reinterpret_cast<HWND>(dc));
}

// A brush is its colour (plus one, so that black is no null handle).
COLORREF BrushColour(HBRUSH brush) {
  return static_cast<COLORREF>(reinterpret_cast<std::uintptr_t>(brush) - 1);
}

bool Record(HDC dc, PaintOp op) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Painted(dc);
  if (!w) return false;
  if (op.kind == PaintOp::Kind::kText) {
    op.colour = w->textColour;
    op.background = w->bkColour;
    op.opaque = w->bkMode == OPAQUE;
  }
  w->drawingNext.push_back(std::move(op));
  return true;
}

}  // namespace

WNDPROC RegisteredClassProc(const std::string& className) {
  std::lock_guard<std::mutex> lock(M().mu);
  auto it = Classes().find(className);
  return it == Classes().end() ? nullptr : it->second;
}

void InvalidatePaintedChildren(Window* top) {
  for (HWND c : top->children) {
    Window* w = Find(c);
    if (w && w->kind == WindowKind::kPainted && !w->paintDue) {
      w->paintDue = PostLocked(c, WM_PAINT, 0, 0);
    }
  }
}

LRESULT ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (msg) {
      case PBM_SETRANGE:
        result = MAKELPARAM(w->rangeMin, w->rangeMax);
        w->rangeMin = LOWORD(lParam);
        w->rangeMax = HIWORD(lParam);
        break;
      case PBM_SETRANGE32:
        result = MAKELPARAM(w->rangeMin, w->rangeMax);
        w->rangeMin = static_cast<int>(wParam);
        w->rangeMax = static_cast<int>(lParam);
        break;
      case PBM_SETPOS:
        result = w->position;
        w->position =
            std::clamp(static_cast<int>(wParam), w->rangeMin, std::max(w->rangeMin, w->rangeMax));
        break;
      case PBM_GETPOS:
        return w->position;
      default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    ModelChanged();
  }
  NotifyChanged(hwnd, kChangeState);
  return result;
}

}  // namespace platform::ui::detail

using namespace platform::ui;
using namespace platform::ui::detail;

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  std::lock_guard<std::mutex> lock(M().mu);
  Classes()[wc->lpszClassName] = wc->lpfnWndProc;
  return static_cast<ATOM>(0xC000 + Classes().size());
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w || index != GWLP_USERDATA) return 0;
  return std::exchange(w->userData, value);
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w && index == GWLP_USERDATA ? w->userData : 0;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  if (w->kind == WindowKind::kPainted && !w->paintDue) {
    w->paintDue = PostLocked(hwnd, WM_PAINT, 0, 0);
  }
  return TRUE;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Painted(dc);
  return w ? std::exchange(w->textColour, colour) : CLR_INVALID;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Painted(dc);
  return w ? std::exchange(w->bkColour, colour) : CLR_INVALID;
}

int SetBkMode(HDC dc, int mode) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Painted(dc);
  return w ? std::exchange(w->bkMode, mode) : 0;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count) {
  PaintOp op;
  op.kind = PaintOp::Kind::kText;
  op.rect = RECT{x, y, x, y};
  op.text.assign(text ? text : "", text ? static_cast<std::size_t>(std::max(count, 0)) : 0);
  return Record(dc, std::move(op)) ? TRUE : FALSE;
}

int DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format) {
  if (!rect) return 0;
  PaintOp op;
  op.kind = PaintOp::Kind::kText;
  op.rect = *rect;
  op.format = format | DT_SINGLELINE;
  const std::size_t n =
      text ? (count < 0 ? std::strlen(text) : static_cast<std::size_t>(count)) : 0;
  op.text.assign(text ? text : "", n);
  return Record(dc, std::move(op)) ? 13 : 0;
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  return reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(colour & 0xFFFFFF) + 1);
}

BOOL DeleteObject(HGDIOBJ) {
  return TRUE;
}

HGDIOBJ SelectObject(HDC, HGDIOBJ) {
  return nullptr;
}

namespace {

int RecordRect(HDC dc, PaintOp::Kind kind, const RECT* rect, HBRUSH brush) {
  if (!rect || !brush) return 0;
  PaintOp op;
  op.kind = kind;
  op.rect = *rect;
  op.colour = BrushColour(brush);
  return Record(dc, std::move(op)) ? 1 : 0;
}

}  // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  return RecordRect(dc, PaintOp::Kind::kFill, rect, brush);
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  return RecordRect(dc, PaintOp::Kind::kFrame, rect, brush);
}
