#include "tests/camsim/tester_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "platform/posix/deadline.h"
#include "platform/posix/io.h"

namespace camsim_test {

double NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

TesterLine::TesterLine(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) return;
  termios tio{};
  ::tcgetattr(fd_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd_, TCSANOW, &tio);
  ::tcflush(fd_, TCIOFLUSH);
}

TesterLine::~TesterLine() {
  if (fd_ >= 0) ::close(fd_);
}

void TesterLine::Send(const Bytes& bytes) {
  (void)platform::WriteAll(
      fd_, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Bytes TesterLine::ReadN(std::size_t n, int timeoutMs) {
  Bytes out;
  const platform::Deadline end = platform::Deadline::InMs(timeoutMs);
  while (out.size() < n && !end.Passed()) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, end.MsLeft()) <= 0) continue;
    if ((p.revents & POLLIN) == 0) break;  // hang-up without data
    std::uint8_t buf[256];
    const ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
    if (got <= 0) break;
    out.insert(out.end(), buf, buf + got);
  }
  return out;
}

Bytes TesterLine::ReadUntilQuiet(int quietMs, int totalMs) {
  Bytes out;
  const platform::Deadline end = platform::Deadline::InMs(totalMs);
  while (!end.Passed()) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, quietMs) <= 0 || (p.revents & POLLIN) == 0) break;
    std::uint8_t buf[256];
    const ssize_t got = ::read(fd_, buf, sizeof buf);
    if (got <= 0) break;
    out.insert(out.end(), buf, buf + got);
  }
  return out;
}

Bytes TesterLine::Exchange(const Bytes& frame, std::size_t replyLength) {
  Send(frame);
  return ReadN(replyLength, 2000);
}

}  // namespace camsim_test
