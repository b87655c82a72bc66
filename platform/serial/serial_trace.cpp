#include "platform/serial/serial_trace.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/posix/diagnostics.h"
#include "platform/posix/io.h"
#include "platform/win32/errors.h"

namespace platform {
namespace {

// The trace that ports opened now write to; null when off.
std::atomic<SerialTrace*> g_current{nullptr};

}  // namespace

bool StartTrace(const std::string& destination, std::string* error) {
  // Traces are never destroyed: a port keeps writing to the trace it
  // opened with, on other threads, until it closes, perhaps at the very end.
  static std::mutex mutex;
  static auto* const kept = new std::vector<SerialTrace*>;
  int fd = STDERR_FILENO;
  if (destination != "-") {
    fd = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (error != nullptr) *error = "cannot open " + destination + ": " + std::strerror(errno);
      StopTrace();
      return false;
    }
  }
  std::lock_guard<std::mutex> lock(mutex);
  kept->push_back(new SerialTrace(fd));
  g_current.store(kept->back(), std::memory_order_release);
  return true;
}

void StopTrace() {
  g_current.store(nullptr, std::memory_order_release);
}

void ApplyTraceSetting(const std::string& destination) {
  if (destination.empty()) return;
  std::string error;
  if (!StartTrace(destination, &error)) {
    Diagnose("CORVANE_TRACE: " + error + "; no trace is written");
  }
}

SerialTrace* SerialTrace::Current() {
  return g_current.load(std::memory_order_acquire);
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
  // may cut one into a regular file or a pipe). A trace that cannot be
  // written is no reason to fail a call, and the caller's errno is kept:
  // tracing sits between system calls.
  const int saved = errno;
  (void)WriteAll(fd_, line);
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

}  // namespace platform
