// Test helpers for the port tests: a raw pseudo-terminal whose master side
// the test drives byte by byte (a real tty for CCommPort to open), and the
// COM device map pointed at test devices only.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/devicemap.h"

namespace porttest {

// Points COM1..4 at the given paths (empty: a path that does not exist), so
// that no test ever opens the machine's own serial ports.
inline void MapComPorts(const std::string& com1, const std::string& com2 = "",
                        const std::string& com3 = "", const std::string& com4 = "") {
  const std::string paths[4] = {com1, com2, com3, com4};
  for (int i = 0; i < 4; ++i) {
    const std::string path =
        paths[i].empty() ? "/nonexistent/com" + std::to_string(i + 1) : paths[i];
    platform::SetComOverride(i + 1, path);
  }
}

// A pseudo-terminal in raw mode. The test owns the master; it also keeps a
// descriptor of the slave open so that the line never hangs up by itself.
class PtyPeer {
 public:
  PtyPeer() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    path_ = ptsname(master_);
    slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
  }
  ~PtyPeer() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  const std::string& path() const { return path_; }

  void Write(const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  // Writes what the line takes within timeoutMs; false when it took nothing.
  bool WriteSome(const std::vector<unsigned char>& bytes, int timeoutMs) {
    pollfd p{master_, POLLOUT, 0};
    if (poll(&p, 1, timeoutMs) <= 0 || (p.revents & POLLOUT) == 0) return false;
    return write(master_, bytes.data(), bytes.size()) > 0;
  }

  // Reads until `count` bytes have come or the line was quiet for quietMs.
  std::vector<unsigned char> Read(std::size_t count, int quietMs) {
    std::vector<unsigned char> got;
    while (got.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, quietMs) <= 0) break;
      unsigned char buf[256];
      const ssize_t n = read(master_, buf, std::min(sizeof buf, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

  // Closes both sides: the program's descriptor sees a hang-up.
  void HangUp() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
    slave_ = master_ = -1;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Number of open descriptors of this process.
inline int OpenFdCount() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d) != nullptr) ++n;
    closedir(d);
  }
  return n - 3;  // ".", ".." and the descriptor of the listing itself
}

}  // namespace porttest
