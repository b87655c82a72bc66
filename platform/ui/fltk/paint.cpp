// The classic look, drawn with FLTK's primitives: two-pixel bevels of
// highlight, face, shadow and dark shadow, greyed text as an embossed
// shadow, and the message box icons drawn from circles and strokes.
#include "platform/ui/fltk/paint.h"

#include <FL/Fl_RGB_Image.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/win32types.h"

namespace platform::ui::fltk {

Fl_Color FaceColor() {
  return fl_rgb_color(212, 208, 200);
}
Fl_Color HighlightColor() {
  return fl_rgb_color(255, 255, 255);
}
Fl_Color ShadowColor() {
  return fl_rgb_color(128, 128, 128);
}
Fl_Color DarkShadowColor() {
  return fl_rgb_color(64, 64, 64);
}
Fl_Color WindowColor() {
  return fl_rgb_color(255, 255, 255);
}
Fl_Color SelectionColor() {
  return fl_rgb_color(10, 36, 106);
}

namespace {

std::atomic<int> g_fontSize{11};

}  // namespace

void ChooseFontSize() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  int chosen = 8;
  for (int size = 11; size >= 8; --size) {
    fl_font(kFont, size);
    double average = fl_width(kLetters) / 52.0;
    if (std::lround(average) <= 6 && fl_height() <= 13) {
      chosen = size;
      break;
    }
  }
  g_fontSize = chosen;
}

int FontSize() {
  return g_fontSize.load(std::memory_order_relaxed);
}

namespace {

// One-pixel frame: `tl` on the top and left edges, `br` on the bottom and
// right ones (the corners go to `br`, as the classic look does).
void Frame(int x, int y, int w, int h, Fl_Color tl, Fl_Color br) {
  if (w <= 0 || h <= 0) return;
  fl_color(tl);
  fl_xyline(x, y, x + w - 2);
  fl_yxline(x, y, y + h - 2);
  fl_color(br);
  fl_xyline(x, y + h - 1, x + w - 1);
  fl_yxline(x + w - 1, y, y + h - 1);
}

}  // namespace

void DrawRaised(int x, int y, int w, int h) {
  Frame(x, y, w, h, HighlightColor(), DarkShadowColor());
  Frame(x + 1, y + 1, w - 2, h - 2, FaceColor(), ShadowColor());
}

void DrawPressed(int x, int y, int w, int h) {
  fl_color(DarkShadowColor());
  fl_rect(x, y, w, h);
  fl_color(ShadowColor());
  fl_rect(x + 1, y + 1, w - 2, h - 2);
}

void DrawSunken(int x, int y, int w, int h) {
  Frame(x, y, w, h, ShadowColor(), HighlightColor());
  Frame(x + 1, y + 1, w - 2, h - 2, DarkShadowColor(), FaceColor());
}

void DrawEtched(int x, int y, int w, int h) {
  fl_color(HighlightColor());
  fl_rect(x + 1, y + 1, w - 1, h - 1);
  fl_color(ShadowColor());
  fl_rect(x, y, w - 1, h - 1);
}

void DrawFocusRect(int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  fl_color(FL_BLACK);
  fl_line_style(FL_DOT);
  fl_rect(x, y, w, h);
  fl_line_style(0);
}

Caption ParsePrefix(const std::string& raw) {
  Caption c;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '&' && i + 1 < raw.size()) {
      ++i;
      if (raw[i] != '&' && c.underline < 0) c.underline = static_cast<int>(c.text.size());
    }
    c.text.push_back(raw[i]);
  }
  return c;
}

int TextWidth(const std::string& text) {
  fl_font(kFont, FontSize());
  return static_cast<int>(fl_width(text.data(), static_cast<int>(text.size())) + 0.5);
}

int LineHeight() {
  fl_font(kFont, FontSize());
  return fl_height();
}

namespace {

void CaptionLine(const Caption& c, int x, int y, Fl_Color colour) {
  fl_font(kFont, FontSize());
  fl_color(colour);
  int base = y + fl_height() - fl_descent();
  fl_draw(c.text.data(), static_cast<int>(c.text.size()), x, base);
  if (c.underline >= 0 && c.underline < static_cast<int>(c.text.size())) {
    int ux = x + static_cast<int>(fl_width(c.text.data(), c.underline));
    int uw = static_cast<int>(fl_width(c.text.data() + c.underline, 1));
    fl_xyline(ux, base + 1, ux + uw - 1);
  }
}

}  // namespace

void DrawCaptionAt(const Caption& c, int x, int y, bool enabled) {
  if (enabled) {
    CaptionLine(c, x, y, FL_BLACK);
    return;
  }
  // Greyed: a white copy one pixel down and right under a grey one.
  CaptionLine(c, x + 1, y + 1, HighlightColor());
  CaptionLine(c, x, y, ShadowColor());
}

void DrawTextBox(const std::string& text, int x, int y, int w, int h, Fl_Align align,
                 bool enabled) {
  fl_font(kFont, FontSize());
  Fl_Align a = align | FL_ALIGN_INSIDE | FL_ALIGN_CLIP;
  // Last argument 0: '@' is an ordinary character here, not a symbol.
  if (!enabled) {
    fl_color(HighlightColor());
    fl_draw(text.c_str(), x + 1, y + 1, w, h, a, nullptr, 0);
    fl_color(ShadowColor());
  } else {
    fl_color(FL_BLACK);
  }
  fl_draw(text.c_str(), x, y, w, h, a, nullptr, 0);
}

void DrawIconImage(const IconImage& image, int x, int y) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() < static_cast<std::size_t>(image.width * image.height * 4)) {
    return;
  }
  // The pixels stay owned by the icon (icons live as long as the process).
  Fl_RGB_Image img(image.rgba.data(), image.width, image.height, 4);
  img.draw(x, y);
}

void DrawStockIcon(unsigned mbType, int x, int y) {
  unsigned icon = mbType & MB_ICONMASK;
  if (icon == 0) return;
  fl_font(FL_HELVETICA_BOLD, 22);
  if (icon == MB_ICONEXCLAMATION) {
    // A yellow warning triangle with '!'.
    fl_color(fl_rgb_color(255, 220, 0));
    fl_polygon(x + 16, y + 2, x + 31, y + 29, x + 1, y + 29);
    fl_color(FL_BLACK);
    fl_loop(x + 16, y + 2, x + 31, y + 29, x + 1, y + 29);
    fl_draw("!", x, y + 6, 32, 24, FL_ALIGN_CENTER, nullptr, 0);
    return;
  }
  bool error = icon == MB_ICONHAND;
  fl_color(error ? fl_rgb_color(204, 0, 0) : HighlightColor());
  fl_pie(x + 1, y + 1, 30, 30, 0, 360);
  fl_color(error ? fl_rgb_color(128, 0, 0) : ShadowColor());
  fl_arc(x + 1, y + 1, 30, 30, 0, 360);
  if (error) {
    // The white cross of the error icon.
    fl_color(FL_WHITE);
    fl_line_style(FL_SOLID | FL_CAP_ROUND, 3);
    fl_line(x + 10, y + 10, x + 22, y + 22);
    fl_line(x + 22, y + 10, x + 10, y + 22);
    fl_line_style(0);
    return;
  }
  fl_color(fl_rgb_color(0, 0, 200));
  fl_draw(icon == MB_ICONQUESTION ? "?" : "i", x, y + 1, 32, 30, FL_ALIGN_CENTER, nullptr, 0);
}

}  // namespace platform::ui::fltk
