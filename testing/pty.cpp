#include "testing/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/posix/io.h"

namespace testsupport {

Pty::Pty() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char name[128] = {};
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name, sizeof name) != 0 ||
      (slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
    const int error = errno;
    HangUp();
    throw std::system_error(error, std::generic_category(), "pseudo-terminal");
  }
  path_ = name;
  termios tio{};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_, TCSANOW, &tio);
}

Pty::~Pty() {
  HangUp();
}

bool Pty::Write(std::string_view bytes) {
  return platform::WriteAll(master_, bytes);
}

bool Pty::Write(const std::vector<std::uint8_t>& bytes) {
  return Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool Pty::WriteSome(const std::vector<std::uint8_t>& bytes, int timeoutMs) {
  pollfd p{master_, POLLOUT, 0};
  if (::poll(&p, 1, timeoutMs) <= 0 || (p.revents & POLLOUT) == 0) return false;
  return ::write(master_, bytes.data(), bytes.size()) > 0;
}

std::string Pty::Read(std::size_t n, int quietMs) {
  std::string got;
  while (got.size() < n) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, quietMs) <= 0) break;
    char buf[4096];
    const ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0) break;
    got.append(buf, static_cast<std::size_t>(r));
  }
  return got;
}

std::vector<std::uint8_t> Pty::ReadBytes(std::size_t n, int quietMs) {
  const std::string got = Read(n, quietMs);
  return std::vector<std::uint8_t>(got.begin(), got.end());
}

void Pty::HangUp() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
}

}  // namespace testsupport
