// Lines of a static text or a box text.
#include "platform/ui/model/textlines.h"

namespace platform::ui {

std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  bool open = false;  // characters since the last break
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;  // CR LF is one break
      lines.push_back(std::move(line));
      line.clear();
      open = false;
      continue;
    }
    open = true;
    if (c == '\t') {
      line.push_back(' ');
    } else if (c >= 0x20 && c != 0x7F) {
      line.push_back(static_cast<char>(c));
    }
  }
  if (open) lines.push_back(std::move(line));
  return lines;
}

std::string DrawnText(std::string_view text) {
  std::string out;
  for (const std::string& line : TextLines(text)) {
    out += line;
    out.push_back('\n');
  }
  if (!out.empty()) out.pop_back();  // the last line's
  return out;
}

}  // namespace platform::ui
