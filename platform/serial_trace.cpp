#include "platform/serial_trace.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/errors.h"
#include "platform/serial_faults.h"

namespace platform {
namespace {

// A replacement set by Replace (tests); g_replaced tells whether there is
// one, as null means "off".
std::atomic<bool> g_replaced{false};
std::atomic<SerialTrace*> g_replacement{nullptr};

}  // namespace

SerialTrace* SerialTrace::Open(const char* destination) {
  if (destination == nullptr || *destination == '\0') return nullptr;
  if (std::strcmp(destination, "-") == 0) return new SerialTrace(STDERR_FILENO);
  const int fd = ::open(destination, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "%s: CORVANE_TRACE: cannot open %s: %s; no trace is written\n",
                 program_invocation_short_name, destination, std::strerror(errno));
    return nullptr;
  }
  return new SerialTrace(fd);
}

SerialTrace* SerialTrace::Current() {
  if (g_replaced.load(std::memory_order_acquire)) {
    return g_replacement.load(std::memory_order_acquire);
  }
  // Never destroyed: ports on other threads may trace until the very end.
  static SerialTrace* const fromEnvironment = Open(std::getenv("CORVANE_TRACE"));
  return fromEnvironment;
}

void SerialTrace::Replace(const char* destination) {
  // A trace replaced may still be in use by open ports: every one is kept.
  static std::mutex mutex;
  static auto* const kept = new std::vector<SerialTrace*>;
  std::lock_guard<std::mutex> lock(mutex);
  SerialTrace* trace = Open(destination);
  if (trace != nullptr) kept->push_back(trace);
  g_replacement.store(trace, std::memory_order_release);
  g_replaced.store(true, std::memory_order_release);
}

void SerialTrace::Write(const std::string& port, Nanos since, const char* event,
                        const std::string& rest) {
  const Nanos us = (MonotonicNs() - since) / 1000;
  char time[48];
  std::snprintf(time, sizeof time, "+%" PRId64 ".%06" PRId64 " ", us / 1000000, us % 1000000);
  // The port and the event outside the fixed buffer: an OPEN line carries
  // paths (a by-id name and its node) of any length.
  std::string line = time + port + " " + event;
  line += rest;
  line += '\n';
  WriteLine(line);
}

void SerialTrace::WriteLine(const std::string& line) {
  // One write for the whole line (a short write is finished, as a signal
  // may cut one into a regular file or a pipe).
  // The caller's errno is kept: tracing sits between system calls.
  const int saved = errno;
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a trace that cannot be written is no reason to fail a call
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  errno = saved;
}

void SerialTrace::Event(const std::string& port, Nanos since, const std::string& text) {
  Write(port, since, text.c_str(), "");
}

void SerialTrace::Bytes(const std::string& port, Nanos since, const char* direction,
                        const void* data, std::size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(size * 3);
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    hex += ' ';
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  Write(port, since, direction, hex);
}

void SerialTrace::Note(const std::string& text) {
  WriteLine(std::string("# ") + program_invocation_short_name + ": " + text + "\n");
}

void SerialTrace::Failure(const std::string& port, Nanos since, const char* call, DWORD code) {
  Write(port, since, "ERROR",
        std::string(" ") + call + " " + std::to_string(code) + " " + SystemErrorText(code));
}

namespace serial_testing {

void TraceTo(const char* destination) {
  SerialTrace::Replace(destination);
}

}  // namespace serial_testing
}  // namespace platform
