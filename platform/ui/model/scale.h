// The display scale: how many screen pixels stand for one pixel of the
// classic layout (the dialog font's base units 6 x 13 at 96 dpi). Every
// size of the window layer is that layout's size times DisplayScale():
// dialog units, the message box's layout, the dialog font, line widths,
// check marks and focus rectangles; icons are magnified in whole steps
// (IconStep). At scale 1 everything is the classic layout, pixel for pixel.
//
// The scale is decided once per process, before the first window exists:
//   1. the program's scale setting (SetScaleSetting: CORVANE_SCALE, when
//      set and not empty): a number from 1 to 4 (1.5, 2, ...). Any other
//      value is reported through the diagnostics hook
//      (platform/posix/diagnostics.h) and gives 1.
//   2. otherwise the X resource Xft.dpi of the display, when the backend
//      has one: dpi / 96, rounded to a quarter, kept within 1 to 4;
//   3. otherwise 1.
// The FLTK backend decides it in its Start (with the display's Xft.dpi);
// anything that reads the scale before a backend decided it (the headless
// backend, tools) gets it from the setting alone. Once decided, it never
// changes. All functions here may be called from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::ui {

inline constexpr double kMinScale = 1.0;
inline constexpr double kMaxScale = 4.0;

// The program's scale setting, the text of its CORVANE_SCALE (nothing:
// unset or empty). The framework's entry point gives it once from the
// program's environment, before the backend starts; a setting given after
// the scale was decided has no effect.
void SetScaleSetting(std::optional<std::string> setting);

// The scale, deciding it from the setting alone if nothing decided it yet.
double DisplayScale();

// Decides the scale (steps 1 to 3 above) unless it is decided already, and
// gives the scale in force. `xftDpi` is the display's Xft.dpi resource as
// text (null when the display has none). A backend calls it in Start.
double DecideDisplayScale(const char* xftDpi);

// ---- The rules, without the process's state (for the tests) ------------

// The scale that a setting's text asks for; nullopt unless it is a
// whole decimal number from kMinScale to kMaxScale.
std::optional<double> ParseScaleSetting(std::string_view text);

// The scale for an Xft.dpi resource text: dpi / 96 rounded to a quarter,
// within kMinScale to kMaxScale; nullopt if the text is no positive number.
std::optional<double> ScaleFromXftDpi(std::string_view text);

// ---- Scaled sizes ----------------------------------------------------------

// `classic` (pixels of the classic layout, possibly fractional) times
// `scale`, rounded to the nearest pixel. A result that lies exactly half
// way goes to the side of the classic pixel magnified (round(classic) *
// scale): at scale 1 a half rounds up as it always has, and at 2 the
// layout stays as close as it can to the classic one doubled.
int ScalePixels(double classic, double scale);
// The same with the process's scale: the size the drawing code uses for a
// length of `classic` pixels in the classic look.
inline int Px(double classic) {
  return ScalePixels(classic, DisplayScale());
}

// The width of a one-pixel line of the classic look: the scale rounded to
// whole pixels, at least 1.
int LineWidth();

// The whole-number magnification of icon images (32 x 32 and 16 x 16): the
// largest that fits the scaled layout, the scale rounded down, at least 1.
int IconStep();

}  // namespace platform::ui
