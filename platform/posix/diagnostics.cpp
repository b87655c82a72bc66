#include "platform/posix/diagnostics.h"

#include <errno.h>
#include <unistd.h>

#include <atomic>

#include "platform/posix/io.h"

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
  (void)WriteAll(STDERR_FILENO, line);  // a warning that cannot be written is lost
}

}  // namespace platform
