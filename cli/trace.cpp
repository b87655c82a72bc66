#include "cli/trace.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cli {
namespace {

constexpr char kTraceVariable[] = "CORVANE_TRACE";

}  // namespace

void SetTrace(const std::string& destination) {
  ::setenv(kTraceVariable, destination.c_str(), 1);
}

void TraceNote(const std::string& text) {
  const char* destination = ::getenv(kTraceVariable);
  if (destination == nullptr || destination[0] == '\0') return;
  const std::string line = "# corvane-cli: " + text + "\n";
  const bool toStderr = std::strcmp(destination, "-") == 0;
  const int fd = toStderr ? STDERR_FILENO
                          : ::open(destination, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t n = ::write(fd, line.data(), line.size());
  if (!toStderr) ::close(fd);
}

}  // namespace cli
