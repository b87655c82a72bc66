// The tester's end of the simulated camera's line, opened the way the
// program opens a serial device: plain POSIX on the slave path, raw mode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testing/hex.h"
#include "testing/temp_dir.h"

namespace camsim_test {

using testhex::Bytes;
using testhex::ToHex;

// "05807F" -> {0x05, 0x80, 0x7F}. Upper- or lower-case digits.
inline Bytes Hex(const std::string& text) {
  return testhex::FromHex(text);
}

// Milliseconds on the monotonic clock.
double NowMs();

using testsupport::ReadFile;
using testsupport::TempDir;

class TesterLine {
 public:
  // Opens path (O_RDWR | O_NOCTTY), raw mode, and discards stale input.
  explicit TesterLine(const std::string& path);
  ~TesterLine();
  TesterLine(const TesterLine&) = delete;
  TesterLine& operator=(const TesterLine&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  void Send(const Bytes& bytes);
  // Reads until n bytes have come or timeoutMs has passed; returns them.
  Bytes ReadN(std::size_t n, int timeoutMs);
  // Reads until the line has been quiet for quietMs (or totalMs has passed).
  Bytes ReadUntilQuiet(int quietMs, int totalMs = 5000);
  // Send, then ReadN(replyLength, 2000).
  Bytes Exchange(const Bytes& frame, std::size_t replyLength);

 private:
  int fd_ = -1;
};

}  // namespace camsim_test
