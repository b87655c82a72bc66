// A pseudo-terminal for the serial tests: the test keeps the master and
// names the slave as COM1 (COM2 to COM4 point at paths that do not exist,
// so that no test ever reaches a real serial port).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/devicemap.h"
#include "platform/kernel32.h"

namespace corvane_test {

// The map's overrides of this process, and CORVANE_COMn for the programs it
// starts (port_tool).
inline void PointComPortsAt(const std::string& com1) {
  const std::string paths[4] = {com1, "/nonexistent/com2", "/nonexistent/com3",
                                "/nonexistent/com4"};
  for (int n = 1; n <= 4; ++n) {
    platform::SetComOverride(n, paths[n - 1]);
    setenv(("CORVANE_COM" + std::to_string(n)).c_str(), paths[n - 1].c_str(), 1);
  }
}

// Opens a COM name as the program does: read and write, exclusive,
// overlapped.
inline HANDLE OpenCom(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED, NULL);
}

class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(master_, 0);
    EXPECT_EQ(grantpt(master_), 0);
    EXPECT_EQ(unlockpt(master_), 0);
    char name[128] = {};
    EXPECT_EQ(ptsname_r(master_, name, sizeof name), 0);
    slave_ = name;
    // Raw both ways, so that bytes pass unchanged before the port is set.
    termios tio;
    tcgetattr(master_, &tio);
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master() const { return master_; }
  const std::string& slave() const { return slave_; }

  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads what the port wrote, up to n bytes, waiting at most ms for each.
  std::string Receive(std::size_t n, int ms = 5000) {
    std::string got;
    while (got.size() < n) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, ms) != 1) break;
      char buf[4096];
      const ssize_t r = read(master_, buf, std::min(sizeof buf, n - got.size()));
      if (r <= 0) break;
      got.append(buf, static_cast<std::size_t>(r));
    }
    return got;
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// COM1 opened on a fresh pseudo-terminal as the program opens its port:
// overlapped, 9600 8N1 raw, all time-outs 1000 ms, mask EV_RXCHAR.
class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PointComPortsAt(pty_.slave());
    port_ = CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, NULL);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE) << GetLastError();
    COMMTIMEOUTS t{1000, 1000, 1000, 1000, 1000};
    ASSERT_TRUE(SetCommTimeouts(port_, &t));
    ASSERT_TRUE(SetCommMask(port_, EV_RXCHAR));
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port_, &dcb));
    ASSERT_TRUE(BuildCommDCBA("baud=9600 parity=N data=8 stop=1", &dcb));
    ASSERT_TRUE(SetCommState(port_, &dcb));
    ov_.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    ASSERT_NE(ov_.hEvent, nullptr);
  }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
    if (ov_.hEvent != nullptr) CloseHandle(ov_.hEvent);
  }
  bool Signalled(HANDLE e, DWORD ms = 0) { return WaitForSingleObject(e, ms) == WAIT_OBJECT_0; }
  // Waits until the port sees n bytes queued (the pty delivers them
  // through a kernel work queue, not at once).
  void AwaitQueued(DWORD n) {
    for (int i = 0; i < 1000; ++i) {
      COMSTAT st{};
      DWORD errors = 0;
      if (ClearCommError(port_, &errors, &st) && st.cbInQue >= n) return;
      Sleep(2);
    }
    FAIL() << "input never arrived";
  }

  Pty pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
  OVERLAPPED ov_{};
};

// Another process that holds the COM port name, opened through the
// services, until this object is destroyed: tool is port_tool's path (its
// command name is then "port_tool").
class PortHolder {
 public:
  PortHolder(const char* tool, const char* name) {
    int out[2], in[2];
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      execl(tool, tool, "hold", name, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    close(in[0]);
    stdin_ = in[1];
    char said[8] = {};
    EXPECT_EQ(read(out[0], said, 5), 5);
    EXPECT_STREQ(said, "held\n") << name << " did not open in the holder";
    close(out[0]);
  }
  ~PortHolder() {
    close(stdin_);
    waitpid(pid_, nullptr, 0);
  }
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;
  pid_t pid() const { return pid_; }

 private:
  int stdin_ = -1;
  pid_t pid_ = -1;
};

inline long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - since)
                               .count());
}

inline std::string ErrorText(DWORD code) {
  char* text = nullptr;
  if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, code, 0,
                     reinterpret_cast<LPSTR>(&text), 0, NULL) == 0) {
    return "";
  }
  std::string s = text;
  LocalFree(text);
  return s;
}

}  // namespace corvane_test
