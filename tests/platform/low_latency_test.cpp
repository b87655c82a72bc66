// Low latency on open and its restoration at close, through the call hook
// that stands in for a USB adapter's serial settings (a pseudo-terminal has
// none and refuses them, as the last test shows).
#include <errno.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <mutex>
#include <vector>

#include "testing/serial_faults.h"
#include "tests/platform/serial_fixture.h"

namespace {

using corvane_test::ComPorts;
using corvane_test::Pty;

// The serial settings of one adapter, as the hook shows them.
struct Adapter {
  std::mutex mutex;
  int flags = 0;
  bool refuseSet = false;
  std::vector<int> sets;  // the flags of every TIOCSSERIAL, in order
};
Adapter g_adapter;

int AdapterSettings(int, unsigned long request, serial_struct* info) {
  std::lock_guard<std::mutex> lock(g_adapter.mutex);
  if (request == TIOCGSERIAL) {
    *info = serial_struct{};
    info->type = PORT_16550A;
    info->flags = g_adapter.flags;
    return 0;
  }
  if (request == TIOCSSERIAL && !g_adapter.refuseSet) {
    g_adapter.sets.push_back(info->flags);
    g_adapter.flags = info->flags;
    return 0;
  }
  errno = EPERM;
  return -1;
}

class LowLatency : public ::testing::Test {
 protected:
  void SetUp() override {
    g_adapter.flags = ASYNC_SKIP_TEST | ASYNC_INITIALIZED;
    g_adapter.refuseSet = false;
    g_adapter.sets.clear();
    testsupport::SetSerialInfoHook(AdapterSettings);
  }
  void TearDown() override { testsupport::SetSerialInfoHook(nullptr); }
  HANDLE Open() {
    return CreateFileA("COM1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, NULL);
  }
  Pty pty_;
  ComPorts com_{{pty_.path()}};
};

TEST_F(LowLatency, AskedForAtOpenAndGivenBackAtClose) {
  const int before = g_adapter.flags;
  HANDLE h = Open();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(g_adapter.sets, std::vector<int>{static_cast<int>(before | ASYNC_LOW_LATENCY)});
  g_adapter.flags |= ASYNC_SPD_HI;  // changed by someone else meanwhile: kept
  CloseHandle(h);
  EXPECT_EQ(g_adapter.sets.back(), static_cast<int>(before | ASYNC_SPD_HI));
}

TEST_F(LowLatency, AnAdapterAlreadyFastOrRefusingIsUsedAsItIs) {
  g_adapter.flags |= ASYNC_LOW_LATENCY;
  HANDLE h = Open();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(g_adapter.sets.empty());
  EXPECT_NE(g_adapter.flags & ASYNC_LOW_LATENCY, 0);  // not taken away

  g_adapter.flags &= ~ASYNC_LOW_LATENCY;
  g_adapter.refuseSet = true;
  h = Open();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(g_adapter.sets.empty());
}

// The real pseudo-terminal: ENOTTY, no message, and the line works.
TEST_F(LowLatency, APseudoTerminalRefusesAndWorksAsItIs) {
  testsupport::SetSerialInfoHook(nullptr);
  testing::internal::CaptureStderr();
  HANDLE h = Open();
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "\x05", 1, &n, NULL));
  EXPECT_EQ(pty_.Read(1), "\x05");
  CloseHandle(h);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
