#include "platform/ui/console.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <string>

namespace platform::ui {
namespace {

std::atomic<unsigned long> g_boxes{0};

// "caption: text" on one line, the text's whitespace runs made one blank.
std::string BoxLine(const std::string& caption, const std::string& text) {
  std::string line = caption + ":";
  bool blank = true;
  for (unsigned char c : text) {
    if (std::isspace(c)) {
      blank = true;
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += static_cast<char>(c);
  }
  line += '\n';
  return line;
}

class ConsoleBackend final : public Backend {
 public:
  bool Start(std::string*) override { return true; }
  void Stop() override {}
  bool IsHeadless() const override { return true; }
  bool TakeMessageBox(const std::string& caption, const std::string& text) override {
    // One write per line, so that lines from two threads never mix.
    const std::string line = BoxLine(caption, text);
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
      const ssize_t n = ::write(STDERR_FILENO, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    g_boxes.fetch_add(1);
    return true;
  }
  void ShowTopLevel(HWND) override {}
  void HideTopLevel(HWND) override {}
  void WindowChanged(HWND, HWND, unsigned) override {}
  void DestroyTopLevel(HWND) override {}
  void PopupSystemMenu(HWND, int, int) override {}
};

}  // namespace

std::unique_ptr<Backend> MakeConsoleBackend() {
  return std::make_unique<ConsoleBackend>();
}

unsigned long ConsoleBoxesShown() {
  return g_boxes.load();
}

}  // namespace platform::ui
