#include "platform/posix/diagnostics.h"

#include <errno.h>
#include <unistd.h>

#include <atomic>

namespace platform {
namespace {

void DefaultHandler(const std::string& text) {
  WriteDiagnosticLine(program_invocation_short_name, text);
}

// Atomic although it is set before any thread starts: tests set it between
// cases while threads of earlier cases may still be ending.
std::atomic<DiagnosticsHandler> g_handler{&DefaultHandler};

}  // namespace

void SetDiagnosticsHandler(DiagnosticsHandler handler) {
  g_handler.store(handler != nullptr ? handler : &DefaultHandler, std::memory_order_release);
}

void Diagnose(const std::string& text) {
  g_handler.load(std::memory_order_acquire)(text);
}

void WriteDiagnosticLine(const char* name, const std::string& text, bool clearLine) {
  const bool clear = clearLine && ::isatty(STDERR_FILENO) == 1;
  const std::string line = (clear ? "\r\033[K" : "") + std::string(name) + ": " + text + "\n";
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace platform
