// A pseudo-terminal whose master side the test drives: a real tty for the
// code under test to open at path().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Raw mode both ways, so that bytes pass unchanged before the port under
// test sets the line. The test also holds a descriptor of the slave, so
// that the line does not hang up when the code under test closes it; the
// destructor or HangUp closes both sides. Throws std::system_error when no
// pseudo-terminal can be made. Not for use by two threads at once.
class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master() const { return master_; }
  // The slave's path, /dev/pts/N.
  const std::string& path() const { return path_; }

  // Writes all the bytes (blocking while the line's queue is full); FALSE
  // if the line is gone.
  bool Write(std::string_view bytes);
  bool Write(const std::vector<std::uint8_t>& bytes);
  // Writes what the line takes once it has room within timeoutMs; FALSE
  // when it took nothing.
  bool WriteSome(const std::vector<std::uint8_t>& bytes, int timeoutMs);

  // Reads what the other side wrote until n bytes have come or the line
  // has been quiet for quietMs; gives what came.
  std::string Read(std::size_t n, int quietMs = 5000);
  std::vector<std::uint8_t> ReadBytes(std::size_t n, int quietMs = 5000);

  // Closes both sides: a descriptor of the slave that the code under test
  // holds sees a hang-up.
  void HangUp();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

}  // namespace testsupport
