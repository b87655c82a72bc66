// Text as the window system measures and draws it in static texts and
// message boxes: lines end at CR LF, LF or CR, and no control character is
// drawn (a tab shows as a space, the others as nothing). A window's text
// itself stays exactly as it was set.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {

// The lines of `text`, without their breaks and control characters. A
// break at the very end starts no further line, so "a\r\n" is one line and
// an empty text none.
std::vector<std::string> TextLines(std::string_view text);

// The same lines joined with LF, for drawing routines that break at LF.
std::string DrawnText(std::string_view text);

}  // namespace platform::ui
