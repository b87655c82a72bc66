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
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

Bytes TesterLine::ReadN(std::size_t n, int timeoutMs) {
  Bytes out;
  const double end = NowMs() + timeoutMs;
  while (out.size() < n) {
    const double left = end - NowMs();
    if (left <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left) + 1) <= 0) continue;
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
  const double end = NowMs() + totalMs;
  while (NowMs() < end) {
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
