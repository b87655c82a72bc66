// What the serial tests share: COM1 opened on a pseudo-terminal as the
// program opens its port, another process holding a port, and the
// system's error texts. COM2 to COM4 point at paths that do not exist, so
// that no test ever reaches a real serial port.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/kernel32.h"
#include "testing/env.h"
#include "testing/process.h"
#include "testing/pty.h"
#include "testing/wait.h"

namespace corvane_test {

using testsupport::ComPorts;
using testsupport::Pty;

// Opens a COM name as the program does: read and write, exclusive,
// overlapped.
inline HANDLE OpenCom(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED, NULL);
}

// COM1 opened on a fresh pseudo-terminal as the program opens its port:
// overlapped, 9600 8N1 raw, all time-outs 1000 ms, mask EV_RXCHAR.
class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = OpenCom("COM1");
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
    EXPECT_TRUE(testsupport::WaitUntil([&] {
      COMSTAT st{};
      DWORD errors = 0;
      return ClearCommError(port_, &errors, &st) && st.cbInQue >= n;
    })) << "input never arrived";
  }

  Pty pty_;
  ComPorts com_{{pty_.path()}};
  HANDLE port_ = INVALID_HANDLE_VALUE;
  OVERLAPPED ov_{};
};

// Another process that holds the COM port name, opened through the
// services, until this object is destroyed: tool is port_tool's path (its
// command name is then "port_tool"), env the COM map it gets (ComPorts::Env).
class PortHolder {
 public:
  PortHolder(const char* tool, const char* name, const std::vector<testsupport::EnvChange>& env)
      : process_({tool, "hold", name}, testsupport::kCaptureOutput | testsupport::kFeedInput, env) {
    EXPECT_EQ(process_.ReadLine(), "held") << name << " did not open in the holder";
  }
  // The holder ends by itself at the end of its input.
  ~PortHolder() {
    process_.CloseInput();
    process_.Wait(std::chrono::seconds(10));
  }
  PortHolder(const PortHolder&) = delete;
  PortHolder& operator=(const PortHolder&) = delete;
  pid_t pid() const { return process_.pid(); }

 private:
  testsupport::Process process_;
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
