// The classic look, drawn with FLTK's primitives: two-line bevels of
// highlight, face, shadow and dark shadow, greyed text as an embossed
// shadow, and the message box icons drawn from circles and strokes. Every
// length is the classic one through Px(), every line LineWidth() thick
// (drawn as that many one-pixel lines, so scale 1 is the classic look).
#include "platform/ui/fltk/paint.h"

#include <FL/Fl_RGB_Image.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/ui/model/scale.h"
#include "platform/win32/win32types.h"

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
  // The base units and the sizes tried grow with the display scale.
  const int unitW = Px(6), unitH = Px(13);
  int chosen = Px(8);
  for (int size = Px(11); size >= Px(8); --size) {
    fl_font(kFont, size);
    double average = fl_width(kLetters) / 52.0;
    if (std::lround(average) <= unitW && fl_height() <= unitH) {
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

// A frame of `t` one-pixel frames inside each other: `tl` on the top and
// left edges, `br` on the bottom and right ones (the corners go to `br`,
// as the classic look does).
void Frame(int x, int y, int w, int h, Fl_Color tl, Fl_Color br, int t) {
  for (int k = 0; k < t; ++k, ++x, ++y, w -= 2, h -= 2) {
    if (w <= 0 || h <= 0) return;
    fl_color(tl);
    fl_xyline(x, y, x + w - 2);
    fl_yxline(x, y, y + h - 2);
    fl_color(br);
    fl_xyline(x, y + h - 1, x + w - 1);
    fl_yxline(x + w - 1, y, y + h - 1);
  }
}

// A rectangle outline `t` pixels thick, inside x, y, w, h.
void Outline(int x, int y, int w, int h, int t) {
  for (int k = 0; k < t && w > 0 && h > 0; ++k, ++x, ++y, w -= 2, h -= 2) fl_rect(x, y, w, h);
}

}  // namespace

void DrawRaised(int x, int y, int w, int h) {
  const int t = LineWidth();
  Frame(x, y, w, h, HighlightColor(), DarkShadowColor(), t);
  Frame(x + t, y + t, w - 2 * t, h - 2 * t, FaceColor(), ShadowColor(), t);
}

void DrawPressed(int x, int y, int w, int h) {
  const int t = LineWidth();
  fl_color(DarkShadowColor());
  Outline(x, y, w, h, t);
  fl_color(ShadowColor());
  Outline(x + t, y + t, w - 2 * t, h - 2 * t, t);
}

void DrawSunken(int x, int y, int w, int h) {
  const int t = LineWidth();
  Frame(x, y, w, h, ShadowColor(), HighlightColor(), t);
  Frame(x + t, y + t, w - 2 * t, h - 2 * t, DarkShadowColor(), FaceColor(), t);
}

void DrawEtched(int x, int y, int w, int h) {
  const int t = LineWidth();
  fl_color(HighlightColor());
  Outline(x + t, y + t, w - t, h - t, t);
  fl_color(ShadowColor());
  Outline(x, y, w - t, h - t, t);
}

void DrawFocusRect(int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  fl_color(FL_BLACK);
  const int t = LineWidth();
  if (t == 1) {
    fl_line_style(FL_DOT);
    fl_rect(x, y, w, h);
    fl_line_style(0);
    return;
  }
  // Thicker: the dots as t x t squares with gaps of the same size.
  for (int i = 0; i < w; i += 2 * t) {
    fl_rectf(x + i, y, std::min(t, w - i), t);
    fl_rectf(x + i, y + h - t, std::min(t, w - i), t);
  }
  for (int j = 0; j < h; j += 2 * t) {
    fl_rectf(x, y + j, t, std::min(t, h - j));
    fl_rectf(x + w - t, y + j, t, std::min(t, h - j));
  }
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
    const int t = LineWidth();
    for (int k = 0; k < t; ++k) fl_xyline(ux, base + t + k, ux + uw - 1);
  }
}

}  // namespace

void DrawCaptionAt(const Caption& c, int x, int y, bool enabled) {
  if (enabled) {
    CaptionLine(c, x, y, FL_BLACK);
    return;
  }
  // Greyed: a white copy one line width down and right under a grey one.
  const int t = LineWidth();
  CaptionLine(c, x + t, y + t, HighlightColor());
  CaptionLine(c, x, y, ShadowColor());
}

void DrawTextBox(const std::string& text, int x, int y, int w, int h, Fl_Align align,
                 bool enabled) {
  fl_font(kFont, FontSize());
  Fl_Align a = align | FL_ALIGN_INSIDE | FL_ALIGN_CLIP;
  // Last argument 0: '@' is an ordinary character here, not a symbol.
  if (!enabled) {
    const int t = LineWidth();
    fl_color(HighlightColor());
    fl_draw(text.c_str(), x + t, y + t, w, h, a, nullptr, 0);
    fl_color(ShadowColor());
  } else {
    fl_color(FL_BLACK);
  }
  fl_draw(text.c_str(), x, y, w, h, a, nullptr, 0);
}

namespace {

// Solid lines LineWidth() thick (width 0, X's own thin line, at scale 1).
void ScaledLineStyle() {
  const int t = LineWidth();
  fl_line_style(FL_SOLID, t > 1 ? t : 0);
}

// Each pixel as a step x step square.
IconImage Magnified(const IconImage& image, int step) {
  IconImage out;
  out.width = image.width * step;
  out.height = image.height * step;
  out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      const auto* from =
          &image.rgba[(static_cast<std::size_t>(y / step) * image.width + x / step) * 4];
      std::copy(from, from + 4, &out.rgba[(static_cast<std::size_t>(y) * out.width + x) * 4]);
    }
  }
  return out;
}

}  // namespace

void DrawIconImage(const IconImage& image, int x, int y) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() < static_cast<std::size_t>(image.width * image.height * 4)) {
    return;
  }
  if (const int step = IconStep(); step > 1) {
    const IconImage big = Magnified(image, step);
    Fl_RGB_Image img(big.rgba.data(), big.width, big.height, 4);
    img.draw(x, y);
    return;
  }
  // The pixels stay owned by the icon (icons live as long as the process).
  Fl_RGB_Image img(image.rgba.data(), image.width, image.height, 4);
  img.draw(x, y);
}

void DrawStockIcon(unsigned mbType, int x, int y) {
  unsigned icon = mbType & MB_ICONMASK;
  if (icon == 0) return;
  // Drawn from shapes, so at any scale: positions in the 32 x 32 square.
  auto px = [x](int classic) { return x + Px(classic); };
  auto py = [y](int classic) { return y + Px(classic); };
  fl_font(FL_HELVETICA_BOLD, Px(22));
  if (icon == MB_ICONEXCLAMATION) {
    // A yellow warning triangle with '!'.
    fl_color(fl_rgb_color(255, 220, 0));
    fl_polygon(px(16), py(2), px(31), py(29), px(1), py(29));
    fl_color(FL_BLACK);
    ScaledLineStyle();
    fl_loop(px(16), py(2), px(31), py(29), px(1), py(29));
    fl_line_style(0);
    fl_draw("!", x, py(6), Px(32), Px(24), FL_ALIGN_CENTER, nullptr, 0);
    return;
  }
  bool error = icon == MB_ICONHAND;
  fl_color(error ? fl_rgb_color(204, 0, 0) : HighlightColor());
  fl_pie(px(1), py(1), Px(30), Px(30), 0, 360);
  fl_color(error ? fl_rgb_color(128, 0, 0) : ShadowColor());
  ScaledLineStyle();
  fl_arc(px(1), py(1), Px(30), Px(30), 0, 360);
  fl_line_style(0);
  if (error) {
    // The white cross of the error icon.
    fl_color(FL_WHITE);
    fl_line_style(FL_SOLID | FL_CAP_ROUND, Px(3));
    fl_line(px(10), py(10), px(22), py(22));
    fl_line(px(22), py(10), px(10), py(22));
    fl_line_style(0);
    return;
  }
  fl_color(fl_rgb_color(0, 0, 200));
  fl_draw(icon == MB_ICONQUESTION ? "?" : "i", x, py(1), Px(32), Px(30), FL_ALIGN_CENTER, nullptr,
          0);
}

}  // namespace platform::ui::fltk
