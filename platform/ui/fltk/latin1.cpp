#include "platform/ui/fltk/latin1.h"

namespace platform::ui::fltk {

std::string Latin1FromUtf8(const char* text, int length) {
  std::string out;
  for (int i = 0; i < length;) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if ((c == 0xC2 || c == 0xC3) && i + 1 < length) {
      auto next = static_cast<unsigned char>(text[i + 1]);
      out.push_back(static_cast<char>(((c & 0x03) << 6) | (next & 0x3F)));
    }
    i += 1 + extra;
  }
  return out;
}

std::string Utf8FromLatin1(const std::string& text) {
  std::string out;
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace platform::ui::fltk
