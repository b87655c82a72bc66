// Text between the window model, whose controls hold 8-bit Latin-1
// characters, and FLTK and X, which speak UTF-8. Any thread.
#pragma once

#include <string>

namespace platform::ui::fltk {

// UTF-8 to Latin-1: characters beyond Latin-1 are dropped, as are the
// bytes of a broken sequence.
std::string Latin1FromUtf8(const char* text, int length);

// Latin-1 to UTF-8.
std::string Utf8FromLatin1(const std::string& text);

}  // namespace platform::ui::fltk
