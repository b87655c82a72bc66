// Leak and soak checks against the simulated camera: 10,000 cycles of
// open, start monitor and stop on one port object, and 1,000 commands
// through the dialog. Descriptors, handles and the services' threads must
// come back to their counts, and LeakSanitizer (in the sanitizer build)
// must find nothing when the process ends.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/threads.h"
#include "testing/process.h"
#include "tests/app/app_fixture.h"
#include "tests/port/port_fixture.h"

namespace {

using apptest::Driver;
using apptest::Ports;
using apptest::ProgramRun;

using porttest::WaitThreadsBackTo;

struct Counts {
  std::size_t fds, handles;
  long threads;
};

Counts Now() {
  return {testsupport::OpenFdCount(), platform::OpenHandleCount(), platform::LiveThreadCount()};
}

TEST(Soak, TenThousandCyclesOfOpenStartMonitorAndStop) {
  Ports ports;  // COM1 to COM4 mapped into a fresh directory
  ports.Attach(1);
  Driver driver(/*autoAcknowledge=*/true);
  CCommPort port;
  ASSERT_EQ(port.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512), 1);
  const long threads0 = platform::LiveThreadCount();
  const Counts before = Now();
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(port.StartMonitor(), 1) << "cycle " << i;
    // The stop request of the next open ends the thread, whether or not it
    // has begun to run.
    ASSERT_EQ(port.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512), 1) << "cycle " << i;
    ASSERT_FALSE(port.m_bMonitorAlive.load()) << "cycle " << i;
    if (i % 1000 == 999) {
      ASSERT_TRUE(WaitThreadsBackTo(threads0)) << "cycle " << i;
      const Counts now = Now();
      ASSERT_EQ(now.fds, before.fds) << "cycle " << i;
      ASSERT_EQ(now.handles, before.handles) << "cycle " << i;
    }
  }
  EXPECT_TRUE(driver.Recorded().empty());
  // The port still works after all that.
  port.StartMonitor();
  const std::string result = port.ReadCode("F70");
  port.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512);
  EXPECT_EQ(result.size(), 4u);
  EXPECT_NE(result, "XXXX");
  EXPECT_TRUE(WaitThreadsBackTo(threads0));
  EXPECT_EQ(Now().fds, before.fds);
  EXPECT_EQ(Now().handles, before.handles);
}

TEST(Soak, ThousandCommandsThroughTheDialog) {
  Ports ports;
  ports.Attach(1);
  Driver d(/*autoAcknowledge=*/true);
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(d.Click(main, IDC_READ));  // the first command opens what stays open
  ASSERT_TRUE(WaitThreadsBackTo(0));
  const Counts before = Now();
  const char* hex = "0123456789ABCDEF";
  for (int i = 0; i < 1000; ++i) {
    const int address = (i * 37) & 0xFF;
    const char addressText[3] = {hex[address >> 4], hex[address & 15], 0};
    ASSERT_TRUE(SetDlgItemTextA(main, IDC_ADDRESS, addressText));
    ASSERT_TRUE(SetDlgItemTextA(main, IDC_PAGE, i % 4 == 0 ? "1" : "0"));
    const bool write = i % 2 == 1;
    if (write) {
      const char code[3] = {hex[(i >> 4) & 15], hex[i & 15], 0};
      ASSERT_TRUE(SetDlgItemTextA(main, IDC_NEW_CODE, code));
      ASSERT_TRUE(d.Click(main, IDC_WRITE)) << "command " << i;
      ASSERT_EQ(d.Text(main, IDC_CODE), std::string(code)) << "command " << i;
    } else {
      ASSERT_TRUE(d.Click(main, IDC_READ)) << "command " << i;
      ASSERT_NE(d.Text(main, IDC_CODE), "XX") << "command " << i;
    }
    ASSERT_TRUE(d.Enabled(main, IDC_WRITE)) << "command " << i;
    if (i % 100 == 99) {
      ASSERT_TRUE(WaitThreadsBackTo(0)) << "command " << i;
      const Counts now = Now();
      ASSERT_EQ(now.fds, before.fds) << "command " << i;
      ASSERT_EQ(now.handles, before.handles) << "command " << i;
    }
  }
  EXPECT_TRUE(d.Recorded().empty());
  EXPECT_EQ(ports.Frames(1), 8u * 1001u);
}

}  // namespace
