// Drawing primitives of the classic dialog look on FLTK: the face colour,
// bevelled borders, control texts (with or without '&' prefix processing)
// and icons. Display thread only, inside a widget's draw() (they use FLTK's
// current drawing state). Coordinates are window pixels.
//
// The display scale (platform/ui/model/scale.h) reaches the drawing one way: a
// length of n pixels in the classic look is Px(n), a line is LineWidth()
// pixels thick, an icon image is magnified IconStep() times. The
// primitives here already do so; code drawing on top of them does the same.
#pragma once

#include <FL/Enumerations.H>

#include <string>

#include "platform/ui/model/model.h"
#include "platform/ui/model/scale.h"

namespace platform::ui::fltk {

// The palette of the classic look.
Fl_Color FaceColor();       // dialog background, button face
Fl_Color HighlightColor();  // top-left edge of raised parts
Fl_Color ShadowColor();     // bottom-right edge; greyed text
Fl_Color DarkShadowColor();
Fl_Color WindowColor();     // edit and check box interior
Fl_Color SelectionColor();  // selected edit text background

// The dialog font: FLTK's sans font at the size that fits the dialog units
// (base units 6 x 13 pixels, those of 8-point text at 96 DPI, times the
// display scale).
constexpr Fl_Font kFont = FL_HELVETICA;
// Picks the size once the display is open: the largest of Px(8) to Px(11)
// pixels whose average letter is at most Px(6) pixels wide (rounded) and
// whose line is at most Px(13) pixels high, so template texts fit their
// controls. Display thread, before anything is drawn.
void ChooseFontSize();
int FontSize();  // 11 until ChooseFontSize has run

// Borders (each draws the frame only, inside x, y, w, h; each of its lines
// LineWidth() thick).
void DrawRaised(int x, int y, int w, int h);  // push button up
void DrawPressed(int x, int y, int w, int h);
void DrawSunken(int x, int y, int w, int h);  // edit / check box client edge
void DrawEtched(int x, int y, int w, int h);  // group box frame
void DrawFocusRect(int x, int y, int w, int h);

// A control caption after '&' processing: '&x' underlines x, "&&" is '&'.
struct Caption {
  std::string text;
  int underline = -1;  // byte index in text, -1 for none
};
Caption ParsePrefix(const std::string& raw);

// Draws one line of `c` with its top-left corner at (x, y) (y is the top of
// the text line, not the baseline), enabled or greyed. No '@' symbols.
void DrawCaptionAt(const Caption& c, int x, int y, bool enabled);
// Width and height of one line of text in the dialog font.
int TextWidth(const std::string& text);
int LineHeight();

// Draws text as is (no prefix, no symbols) inside the box with FLTK
// alignment flags, greyed when disabled.
void DrawTextBox(const std::string& text, int x, int y, int w, int h, Fl_Align align, bool enabled);

// Draws an icon image (RGBA) with its top-left corner at (x, y), each of
// its pixels IconStep() x IconStep() screen pixels.
void DrawIconImage(const IconImage& image, int x, int y);
// Draws the system's icon for a message box of type `mbType` (MB_ICON
// bits) in the Px(32) x Px(32) square at (x, y). Nothing for types without
// one.
void DrawStockIcon(unsigned mbType, int x, int y);

}  // namespace platform::ui::fltk
