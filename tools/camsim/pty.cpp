#include "tools/camsim/pty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace camsim {
namespace {

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

bool OpenPty(Pty* pty, std::string* error) {
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master.valid()) {
    *error = Errno("posix_openpt");
    return false;
  }
  if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
    *error = Errno("grantpt/unlockpt");
    return false;
  }
  char name[128];
  if (::ptsname_r(master.get(), name, sizeof name) != 0) {
    *error = Errno("ptsname_r");
    return false;
  }
  UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.valid()) {
    *error = Errno(std::string("open ") + name);
    return false;
  }
  termios tio{};
  if (::tcgetattr(slave.get(), &tio) != 0) {
    *error = Errno("tcgetattr");
    return false;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(slave.get(), TCSANOW, &tio) != 0) {
    *error = Errno("tcsetattr");
    return false;
  }
  // The camera's loop polls the master and must never block in a write
  // when nobody drains the line.
  const int flags = ::fcntl(master.get(), F_GETFL);
  if (flags < 0 || ::fcntl(master.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
    *error = Errno("fcntl O_NONBLOCK");
    return false;
  }
  pty->master = std::move(master);
  pty->slave = std::move(slave);
  pty->slavePath = name;
  return true;
}

bool PointLink(const std::string& linkPath, const std::string& target, std::string* error) {
  struct stat st {};
  if (::lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    *error = linkPath + " exists and is not a symbolic link";
    return false;
  }
  // symlink + rename: whoever opens linkPath finds either the old line or
  // the new one, never nothing.
  const std::string tmp = linkPath + ".tmp." + std::to_string(::getpid());
  ::unlink(tmp.c_str());
  if (::symlink(target.c_str(), tmp.c_str()) != 0) {
    *error = Errno("symlink " + tmp);
    return false;
  }
  if (::rename(tmp.c_str(), linkPath.c_str()) != 0) {
    *error = Errno("rename " + tmp + " to " + linkPath);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

void RemoveLink(const std::string& linkPath, const std::string& target) {
  std::vector<char> buf(target.size() + 2);
  const ssize_t n = ::readlink(linkPath.c_str(), buf.data(), buf.size());
  if (n >= 0 && static_cast<std::size_t>(n) == target.size() &&
      std::memcmp(buf.data(), target.data(), target.size()) == 0) {
    ::unlink(linkPath.c_str());
  }
}

}  // namespace camsim
