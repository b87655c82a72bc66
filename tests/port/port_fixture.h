// Shared pieces of the CCommPort tests: the headless driver that records the
// error boxes, the expected box texts, and waiting for monitor threads to
// end; the line's other side is a testsupport::Pty, the COM device map a
// testsupport::ComPorts.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel32.h"
#include "port/CommPort.h"
#include "testing/env.h"
#include "testing/process.h"
#include "testing/pty.h"
#include "testing/ui_driver.h"
#include "testing/wait.h"
#include "tests/platform/serial_fixture.h"

namespace porttest {

using Ms = std::chrono::milliseconds;
using testsupport::ComPorts;
using testsupport::OpenFdCount;
using testsupport::Pty;

// The text of the error box for an operation and the text it shows.
inline std::string BoxText(const std::string& operation, const std::string& text, int port) {
  return "WARNING:  " + operation + " Failed with the following error: \n" + text +
         "\nPort: " + std::to_string(port) + "\n";
}

inline std::string TimeoutBox(int port) {
  return BoxText("DV Camera not responding. ", "TimeOut. Check connection between port and camera.",
                 port);
}

// The system's text for an error code, as the box shows it.
using corvane_test::ErrorText;

// A receiver of an owner other than the dialog: keeps every failure.
class Recorder final : public engine::Receiver {
 public:
  void OnFailure(const engine::Failure& failure) override {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.push_back(failure);
  }
  void OnOwnerNotification(CWnd*, UINT, WPARAM, LPARAM) override {}
  std::vector<engine::Failure> Failures() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failures_;
  }

 private:
  std::mutex mutex_;
  std::vector<engine::Failure> failures_;
};

inline std::vector<std::string> BoxTexts(testsupport::ui::Driver& driver) {
  std::vector<std::string> texts;
  for (const auto& box : driver.Recorded()) texts.push_back(box.text);
  return texts;
}

// Waits (at most 10 s) until no thread started by the services runs beyond
// `baseline`: the monitor thread has left AfxEndThread.
inline bool WaitThreadsBackTo(long baseline) {
  return testsupport::WaitUntil([&] { return platform::LiveThreadCount() <= baseline; });
}

// True while an operation started with record is pending on port.
inline bool Pending(HANDLE port, OVERLAPPED* record) {
  DWORD n = 0;
  return !GetOverlappedResult(port, record, &n, FALSE) && GetLastError() == ERROR_IO_INCOMPLETE;
}

// Opens COM1 as the dialog does.
inline int OpenCom1(CCommPort& port, CWnd* owner = nullptr, DWORD mask = EV_RXCHAR) {
  return port.OpenPort(owner, 1, 9600, 'N', 8, 1, mask, 512);
}

// Waits (at most timeoutMs) until the reply buffer holds n bytes.
inline bool WaitReplyCount(CCommPort& port, DWORD n, int timeoutMs = 10000) {
  DWORD count = 0;
  testsupport::WaitUntil(
      [&] {
        EnterCriticalSection(&port.m_lock);
        count = port.m_replyCount;
        LeaveCriticalSection(&port.m_lock);
        return count >= n;
      },
      Ms(timeoutMs));
  return count == n;
}

inline std::vector<unsigned char> ReplyBytes(CCommPort& port) {
  EnterCriticalSection(&port.m_lock);
  const DWORD n = std::min<DWORD>(port.m_replyCount, CCommPort::kReplyCapacity);
  std::vector<unsigned char> bytes(port.m_replyBuffer, port.m_replyBuffer + n);
  LeaveCriticalSection(&port.m_lock);
  return bytes;
}

}  // namespace porttest
