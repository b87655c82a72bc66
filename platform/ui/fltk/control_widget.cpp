// Drawing and mouse input of the child controls.
#include "platform/ui/fltk/control_widget.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdlib>

#include "platform/ui/fltk/paint.h"
#include "platform/ui/fltk/top_window.h"
#include "platform/ui/model/backend.h"
#include "platform/ui/model/textlines.h"
#include "platform/win32/win32types.h"

namespace platform::ui::fltk {
namespace {

// Classic pixels, through Px() when drawn.
constexpr int kCheckSize = 13;  // the check box square
constexpr int kCheckGap = 4;    // between the square and the caption

int CaretOf(const WindowSnapshot& s) {
  return std::clamp(s.caret, 0, int(s.text.size()));
}

}  // namespace

ControlWidget::ControlWidget(TopWindow* top, const WindowSnapshot& snap)
    : Fl_Widget(0, 0, 1, 1), top_(top) {
  // Keys belong to the top-level window; the model keeps the focus.
  clear_visible_focus();
  Update(snap);
}

void ControlWidget::Update(const WindowSnapshot& snap) {
  snap_ = snap;
  const RECT& r = snap_.rect;
  int w = std::max(1, int(r.right - r.left));
  int h = std::max(1, int(r.bottom - r.top));
  if (x() != r.left || y() != r.top || this->w() != w || this->h() != h) {
    resize(r.left, r.top, w, h);
  }
  if (snap_.visible) {
    show();
  } else {
    hide();
  }
  if (!snap_.enabled) tracking_ = pressed_ = false;
  redraw();
}

bool ControlWidget::TakesClicks() const {
  switch (snap_.kind) {
    case WindowKind::kPushButton:
    case WindowKind::kCheckBox:
    case WindowKind::kEdit:
    case WindowKind::kPainted:
      return true;
    default:
      return false;
  }
}

int ControlWidget::HandleEditMouse(int event) {
  int at = BoundaryAt(Fl::event_x());
  switch (event) {
    case FL_PUSH:
      switch (Fl::event_button()) {
        case FL_LEFT_MOUSE:
          tracking_ = true;
          PostEditMouse(snap_.hwnd,
                        Fl::event_clicks()                    ? EditMouse::kDoubleClick
                        : (Fl::event_state() & FL_SHIFT) != 0 ? EditMouse::kShiftPress
                                                              : EditMouse::kPress,
                        at);
          return 1;
        case FL_MIDDLE_MOUSE:
          PostEditMouse(snap_.hwnd, EditMouse::kMiddleClick, at);
          return 1;
        case FL_RIGHT_MOUSE:
          PostRightClick(snap_.hwnd, Fl::event_x(), Fl::event_y());
          return 1;
        default:
          return 0;
      }
    case FL_DRAG:
      if (tracking_) PostEditMouse(snap_.hwnd, EditMouse::kDrag, at);
      return 1;
    case FL_RELEASE:
      if (tracking_ && Fl::event_button() == FL_LEFT_MOUSE) {
        tracking_ = false;
        PostEditMouse(snap_.hwnd, EditMouse::kRelease, at);
      }
      return 1;
    default:
      return 0;
  }
}

int ControlWidget::handle(int event) {
  switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
      return 0;
    case FL_PUSH:
    case FL_DRAG:
    case FL_RELEASE:
      if (snap_.kind == WindowKind::kEdit) return HandleEditMouse(event);
      break;
    default:
      return 0;
  }
  switch (event) {
    case FL_PUSH:
      if (Fl::event_button() != FL_LEFT_MOUSE || !TakesClicks()) return 0;
      // Buttons act on release over the control, as the classic ones do;
      // the model drops the click if the control is disabled when it comes.
      tracking_ = true;
      pressed_ = snap_.enabled;
      redraw();
      return 1;
    case FL_DRAG:
      if (tracking_) {
        bool inside = Fl::event_inside(this) != 0;
        if (inside != pressed_ && snap_.enabled) {
          pressed_ = inside;
          redraw();
        }
      }
      return tracking_ ? 1 : 0;
    case FL_RELEASE:
      if (!tracking_) return 0;
      tracking_ = false;
      pressed_ = false;
      redraw();
      if (Fl::event_inside(this)) PostClick(snap_.hwnd);
      return 1;
    default:
      return 0;
  }
}

void ControlWidget::draw() {
  fl_push_clip(x(), y(), w(), h());
  switch (snap_.kind) {
    case WindowKind::kPushButton:
      DrawPushButton();
      break;
    case WindowKind::kCheckBox:
      DrawCheckBox();
      break;
    case WindowKind::kEdit:
      DrawEdit();
      break;
    case WindowKind::kGroupBox:
      DrawGroupBox();
      break;
    case WindowKind::kIcon:
      DrawIconControl();
      break;
    case WindowKind::kPainted:
      DrawPainted();
      break;
    case WindowKind::kProgress:
      DrawProgress();
      break;
    case WindowKind::kStatic:
    default:
      DrawStatic();
      break;
  }
  fl_pop_clip();
}

void ControlWidget::DrawPushButton() {
  const int t = LineWidth();
  int bx = x(), by = y(), bw = w(), bh = h();
  fl_color(FaceColor());
  fl_rectf(bx, by, bw, bh);
  // The default button (and a focused one, which acts on Enter) has a
  // black frame around its bevel.
  if (snap_.defaultButton || snap_.focused) {
    fl_color(FL_BLACK);
    for (int k = 0; k < t; ++k) fl_rect(bx + k, by + k, bw - 2 * k, bh - 2 * k);
    bx += t, by += t, bw -= 2 * t, bh -= 2 * t;
  }
  // Held down by the mouse or by Space.
  const bool pressed = pressed_ || snap_.pushed;
  int shift = pressed ? t : 0;
  if (pressed) {
    DrawPressed(bx, by, bw, bh);
  } else {
    DrawRaised(bx, by, bw, bh);
  }
  Caption c = ParsePrefix(snap_.text);
  int tw = TextWidth(c.text), th = LineHeight();
  int tx = bx + (bw - tw) / 2 + shift;
  int ty = by + (bh - th) / 2 + shift;
  DrawCaptionAt(c, tx, ty, snap_.enabled);
  const int inset = Px(3);
  if (snap_.focused) DrawFocusRect(bx + inset, by + inset, bw - 2 * inset, bh - 2 * inset);
}

void ControlWidget::DrawCheckBox() {
  const int t = LineWidth(), size = Px(kCheckSize);
  int bx = x(), by = y() + (h() - size) / 2;
  bool indeterminate = snap_.check == BST_INDETERMINATE;
  Fl_Color fill = WindowColor();
  if (!snap_.enabled || pressed_ || snap_.pushed) fill = FaceColor();
  if (indeterminate) fill = fl_rgb_color(192, 192, 192);
  fl_color(fill);
  fl_rectf(bx + 2 * t, by + 2 * t, size - 4 * t, size - 4 * t);
  DrawSunken(bx, by, size, size);
  if (snap_.check == BST_CHECKED || indeterminate) {
    // The tick: a 7 x 7 mark three lines thick.
    fl_color(snap_.enabled && !indeterminate ? FL_BLACK : ShadowColor());
    for (int k = 0; k < 3 * t; ++k) {
      fl_line(bx + Px(3), by + Px(5) + k, bx + Px(5), by + Px(7) + k, bx + Px(9), by + Px(3) + k);
    }
  }
  // The caption starts right of the square and is cut off by the
  // control's width (the clip set in draw()).
  Caption c = ParsePrefix(snap_.text);
  int tx = bx + size + Px(kCheckGap);
  int th = LineHeight();
  int ty = y() + (h() - th) / 2;
  DrawCaptionAt(c, tx, ty, snap_.enabled);
  if (!snap_.focused) return;
  // The focus rectangle goes round the caption. Where the control is too
  // narrow to show its caption, it goes round the control instead, so the
  // focus is seen all the same.
  int fx = tx - t, fw = TextWidth(c.text) + 2 * t, fy = ty, fh = th;
  if (c.text.empty() || fx + Px(4) > x() + w()) {
    fx = x(), fy = y(), fw = w(), fh = h();
  }
  DrawFocusRect(fx, fy, fw, fh);
}

void ControlWidget::DrawEdit() {
  const int line = LineWidth(), border = 2 * line;
  int ex = x(), ey = y(), ew = w(), eh = h();
  bool editable = snap_.enabled && !snap_.readOnly;
  fl_color(editable ? WindowColor() : FaceColor());
  fl_rectf(ex + border, ey + border, ew - 2 * border, eh - 2 * border);
  DrawSunken(ex, ey, ew, eh);

  int th = LineHeight();
  int ty = ey + (eh - th) / 2;
  const std::string& t = snap_.text;
  int caretX = TextWidth(t.substr(0, CaretOf(snap_)));
  int origin = TextOrigin(true);

  fl_push_clip(ex + border, ey + border, ew - 2 * border, eh - 2 * border);
  int a = std::clamp(std::min(snap_.selStart, snap_.selEnd), 0, int(t.size()));
  int b = std::clamp(std::max(snap_.selStart, snap_.selEnd), 0, int(t.size()));
  Caption whole{t, -1};
  DrawCaptionAt(whole, origin, ty, snap_.enabled);
  if (snap_.focused && a < b) {
    // The selection, drawn over the plain text in inverse colours.
    int sx = origin + TextWidth(t.substr(0, a));
    int sw = TextWidth(t.substr(a, b - a));
    fl_color(SelectionColor());
    fl_rectf(sx, ty, sw, th);
    fl_font(kFont, FontSize());
    fl_color(FL_WHITE);
    fl_draw(t.data() + a, b - a, sx, ty + th - fl_descent());
  }
  if (snap_.focused) {
    fl_color(FL_BLACK);
    for (int k = 0; k < line; ++k) fl_yxline(origin + caretX + k, ty, ty + th - 1);
  }
  fl_pop_clip();
}

void ControlWidget::TextArea(int* left, int* width) const {
  const int border = 2 * LineWidth(), margin = Px(2);
  *left = x() + border + margin;
  *width = std::max(1, w() - 2 * border - 2 * margin);
}

int ControlWidget::TextOrigin(bool scrollToCaret) {
  int ix = 0, iw = 0;
  TextArea(&ix, &iw);
  const std::string& t = snap_.text;
  int tw = TextWidth(t);
  if (tw <= iw) {
    scroll_ = 0;
    if (snap_.style & ES_RIGHT) return ix + iw - tw;
    return snap_.centred ? ix + (iw - tw) / 2 : ix;
  }
  if (scrollToCaret) {
    // Automatic horizontal scrolling: move the text just enough to keep
    // the caret inside the field.
    int caretX = TextWidth(t.substr(0, CaretOf(snap_)));
    scroll_ = std::clamp(scroll_, std::max(0, caretX - iw + 1), caretX);
    scroll_ = std::min(scroll_, tw - iw + 1);
  }
  return ix - scroll_;
}

int ControlWidget::BoundaryAt(int px) {
  // The boundary between characters nearest to the pointer, on the text as
  // it was last drawn.
  const std::string& t = snap_.text;
  int origin = TextOrigin(false);
  int best = 0, bestDistance = std::abs(px - origin);
  for (int i = 1; i <= int(t.size()); ++i) {
    int d = std::abs(px - (origin + TextWidth(t.substr(0, std::size_t(i)))));
    if (d < bestDistance) best = i, bestDistance = d;
  }
  return best;
}

void ControlWidget::DrawStatic() {
  Fl_Align align = FL_ALIGN_TOP_LEFT;
  switch (snap_.style & 0x3) {
    case 1:  // SS_CENTER
      align = FL_ALIGN_TOP;
      break;
    case 2:  // SS_RIGHT
      align = FL_ALIGN_TOP_RIGHT;
      break;
    default:
      break;
  }
  // No '&' prefixes, no '@' symbols; lines break at CR LF, LF and CR and no
  // control character shows.
  DrawTextBox(DrawnText(snap_.text), x(), y(), w(), h(), align | FL_ALIGN_WRAP, snap_.enabled);
}

void ControlWidget::DrawGroupBox() {
  int th = LineHeight();
  int top = y() + th / 2;
  DrawEtched(x(), top, w(), h() - th / 2);
  if (snap_.text.empty()) return;
  Caption c = ParsePrefix(snap_.text);
  int tx = x() + Px(9);
  fl_color(FaceColor());
  fl_rectf(tx - Px(2), y(), TextWidth(c.text) + Px(4), th);
  DrawCaptionAt(c, tx, y(), snap_.enabled);
}

void ControlWidget::DrawIconControl() {
  if (const Icon* icon = IconFromHandle(snap_.icon)) {
    DrawIconImage(icon->large, x(), y());
    return;
  }
  // A message box's icon control shows the system icon of its type.
  DrawStockIcon(top_->snapshot().messageBoxType, x(), y());
}

}  // namespace platform::ui::fltk

namespace platform::ui::fltk {

namespace {

Fl_Color ColourOf(COLORREF c) {
  return fl_rgb_color(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace

// The program's own drawing, replayed in its order, in client pixels.
void ControlWidget::DrawPainted() {
  fl_color(WindowColor());
  fl_rectf(x(), y(), w(), h());
  fl_font(kFont, FontSize());
  for (const PaintOp& op : snap_.drawing) {
    const int left = x() + op.rect.left, top = y() + op.rect.top;
    const int width = op.rect.right - op.rect.left, height = op.rect.bottom - op.rect.top;
    switch (op.kind) {
      case PaintOp::Kind::kFill:
        fl_color(ColourOf(op.colour));
        fl_rectf(left, top, width, height);
        break;
      case PaintOp::Kind::kFrame:
        fl_color(ColourOf(op.colour));
        fl_rect(left, top, width, height);
        break;
      case PaintOp::Kind::kText:
        if (op.format & DT_SINGLELINE) {
          if (op.opaque) {
            fl_color(ColourOf(op.background));
            fl_rectf(left, top, width, height);
          }
          Fl_Align align = (op.format & DT_CENTER)  ? FL_ALIGN_CENTER
                           : (op.format & DT_RIGHT) ? FL_ALIGN_RIGHT
                                                    : FL_ALIGN_LEFT;
          fl_color(ColourOf(op.colour));
          fl_draw(op.text.c_str(), left, top, width, height, align, nullptr, 0);
        } else {
          const int tw = TextWidth(op.text);
          if (op.opaque) {
            fl_color(ColourOf(op.background));
            fl_rectf(left, top, tw, fl_height());
          }
          fl_color(ColourOf(op.colour));
          fl_draw(op.text.c_str(), static_cast<int>(op.text.size()), left,
                  top + fl_height() - fl_descent());
        }
        break;
    }
  }
  if (snap_.style & WS_BORDER) {
    fl_color(DarkShadowColor());
    for (int k = 0; k < LineWidth(); ++k) fl_rect(x() + k, y() + k, w() - 2 * k, h() - 2 * k);
  }
}

// A sunken frame with the done part filled in blocks of the selection colour.
void ControlWidget::DrawProgress() {
  fl_color(FaceColor());
  fl_rectf(x(), y(), w(), h());
  DrawSunken(x(), y(), w(), h());
  const int inset = 2 * LineWidth();
  const int span = snap_.rangeMax - snap_.rangeMin;
  if (span <= 0) return;
  const int inner = w() - 2 * inset;
  const int filled =
      static_cast<int>(static_cast<long long>(inner) * (snap_.position - snap_.rangeMin) / span);
  const int block = Px(8), gap = Px(2);
  fl_color(SelectionColor());
  for (int bx = 0; bx < filled; bx += block + gap) {
    fl_rectf(x() + inset + bx, y() + inset, std::min(block, filled - bx), h() - 2 * inset);
  }
}

}  // namespace platform::ui::fltk
