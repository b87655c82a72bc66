// The monitor thread on a real pseudo-terminal whose other side the test
// drives: sending, receiving, the stop request in each state, failures on
// the line, and the owner notifications.
#include <time.h>

#include <cstring>
#include <optional>

#include "platform/serial/serial_port.h"
#include "platform/win32/handles.h"
#include "testing/hex.h"
#include "testing/serial_faults.h"
#include "tests/port/port_fixture.h"

namespace {

using porttest::BoxText;
using porttest::BoxTexts;
using porttest::ComPorts;
using porttest::Ms;
using porttest::OpenCom1;
using porttest::Pty;
using porttest::ReplyBytes;
using testsupport::ui::Driver;
using testsupport::ui::PumpThread;
using Bytes = std::vector<unsigned char>;
using testhex::kAnnounce;
using testhex::kClose;
using testhex::kSetup;

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    threads_ = platform::LiveThreadCount();
    ASSERT_EQ(OpenCom1(port_), 1);
  }
  void TearDown() override {
    port_.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512);
    EXPECT_TRUE(porttest::WaitThreadsBackTo(threads_));
  }
  // Starts the monitor and returns once it is past its start purge (a probe
  // byte has been stored), with the reply buffer cleared again as a
  // transaction clears it.
  // Gives the bytes stored before that clear.
  Bytes StartAndSync() {
    EXPECT_EQ(port_.StartMonitor(), 1);
    for (int i = 0; i < 100; ++i) {
      peer_.Write({0xEE});
      if (porttest::WaitReplyCount(port_, 1, 100)) break;
    }
    // A loaded machine may deliver an earlier 0xEE late: let the line settle
    // (no new byte for 100 ms) before the clear, so none lands after it.
    for (DWORD before = ReplyCount(), now = 0;; before = now) {
      std::this_thread::sleep_for(Ms(100));
      now = ReplyCount();
      if (now == before) break;
    }
    const Bytes before = ReplyBytes(port_);
    EnterCriticalSection(&port_.m_lock);
    std::memset(port_.m_replyBuffer, 0, sizeof port_.m_replyBuffer);
    port_.m_replyCount = 0;
    LeaveCriticalSection(&port_.m_lock);
    ResetEvent(port_.m_hReceiveEvent);
    return before;
  }
  DWORD ReplyCount() {
    EnterCriticalSection(&port_.m_lock);
    const DWORD count = port_.m_replyCount;
    LeaveCriticalSection(&port_.m_lock);
    return count;
  }
  bool ReceiveEventSet() { return WaitForSingleObject(port_.m_hReceiveEvent, 0) == WAIT_OBJECT_0; }

  Driver driver_{true};
  Pty peer_;
  ComPorts com_{{peer_.path()}};
  long threads_ = 0;
  CCommPort port_;
};

TEST_F(MonitorTest, FrameGoesOutAndEveryReplyByteIsStored) {
  ASSERT_EQ(port_.StartMonitor(), 1);
  port_.SendHexFrame(kAnnounce);
  EXPECT_EQ(peer_.ReadBytes(3, 5000), (Bytes{0x05, 0x80, 0x7F}));
  EXPECT_EQ(peer_.ReadBytes(1, 50), Bytes{});  // exactly the frame's bytes
  peer_.Write({0x06, 0x80, 0x7F});
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 3));
  EXPECT_EQ(ReplyBytes(port_), (Bytes{0x06, 0x80, 0x7F}));
  EXPECT_TRUE(ReceiveEventSet());

  // The setup frame, 24 bytes ending in CF.
  port_.SendHexFrame(kSetup);
  const Bytes setup = peer_.ReadBytes(24, 5000);
  ASSERT_EQ(setup.size(), 24u);
  EXPECT_EQ(setup.front(), 0x01);
  EXPECT_EQ(setup.back(), 0xCF);
  EXPECT_TRUE(driver_.Recorded().empty());
}

// A frame goes out on the write's record while the event wait is pending on
// its own, and the reply is read on the read's: the send does not disturb
// the wait, which the reply's first byte then completes.
TEST_F(MonitorTest, SendAndReceiveUseRecordsOfTheirOwnBesideThePendingWait) {
  StartAndSync();
  DWORD n = 0;
  auto pending = [&](OVERLAPPED* record) { return porttest::Pending(port_.m_hComm, record); };
  ASSERT_TRUE(testsupport::WaitUntil([&] { return pending(&port_.m_overlapped); }));
  port_.SendHexFrame(kAnnounce);
  EXPECT_EQ(peer_.ReadBytes(3, 5000), (Bytes{0x05, 0x80, 0x7F}));
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return GetOverlappedResult(port_.m_hComm, &port_.m_overlappedWrite, &n, FALSE); }));
  EXPECT_EQ(n, 3u);
  EXPECT_TRUE(pending(&port_.m_overlapped));
  peer_.Write({0x06, 0x80, 0x7F});
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 3));
  EnterCriticalSection(&port_.m_lock);  // the receive holds it while it reads
  EXPECT_TRUE(GetOverlappedResult(port_.m_hComm, &port_.m_overlappedRead, &n, FALSE));
  EXPECT_EQ(n, 1u);
  LeaveCriticalSection(&port_.m_lock);
  EXPECT_TRUE(driver_.Recorded().empty());
}

TEST_F(MonitorTest, EmptyTextSendsNothingAndALongOneIsCut) {
  ASSERT_EQ(port_.StartMonitor(), 1);
  ResetEvent(port_.m_hWriteEvent);
  port_.SendHexFrame("");
  EXPECT_NE(WaitForSingleObject(port_.m_hWriteEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(peer_.ReadBytes(1, 100), Bytes{});

  const std::string text = std::string(198, 'A') + "0102";  // 202 characters
  port_.SendHexFrame(text.c_str());
  const Bytes sent = peer_.ReadBytes(200, 1000);
  EXPECT_EQ(sent, Bytes(99, 0xAA));
  EXPECT_TRUE(driver_.Recorded().empty());
}

TEST_F(MonitorTest, BytesBeforeTheMonitorOrBeforeASendAreNotStored) {
  // Arrived while no monitor ran: the start purge drops them.
  peer_.Write({0x11, 0x22, 0x33});
  std::this_thread::sleep_for(Ms(50));
  EXPECT_EQ(StartAndSync(), Bytes{0xEE});

  // Stored after the transaction's clear but before its frame went out (a
  // late byte of an earlier reply): the send clears the buffer again.
  peer_.Write({0x44, 0x55});
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 2));
  port_.SendHexFrame(kClose);
  EXPECT_EQ(peer_.ReadBytes(3, 5000), (Bytes{0x10, 0x3B, 0x04}));
  peer_.Write({0x06});
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 1));
  EXPECT_EQ(ReplyBytes(port_), Bytes{0x06});
}

TEST_F(MonitorTest, BurstBeyondTheBufferIsCountedButNotStored) {
  StartAndSync();
  Bytes burst(100);
  for (std::size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<unsigned char>(i + 1);
  peer_.Write(burst);
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 100));
  EXPECT_EQ(ReplyBytes(port_), Bytes(burst.begin(), burst.begin() + 44));
}

// A line that never stops sending keeps neither the transaction from its
// tests nor the stop request from ending the monitor.
TEST_F(MonitorTest, StopWhileTheLineNeverStopsSending) {
  StartAndSync();
  std::atomic<bool> flooding{true};
  std::thread flood([&] {
    const Bytes chunk(256, 0x55);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (flooding && std::chrono::steady_clock::now() < end) peer_.WriteSome(chunk, 10);
    flooding = false;
  });
  std::this_thread::sleep_for(Ms(300));
  // The transaction can take the lock and look at the reply meanwhile.
  EnterCriticalSection(&port_.m_lock);
  const DWORD seen = port_.m_replyCount;
  LeaveCriticalSection(&port_.m_lock);
  EXPECT_GT(seen, CCommPort::kReplyCapacity);
  ASSERT_EQ(OpenCom1(port_), 1);
  EXPECT_TRUE(flooding.load()) << "the stop request waited for the line to fall silent";
  flooding = false;
  flood.join();
  EXPECT_TRUE(driver_.Recorded().empty());
}

TEST_F(MonitorTest, FrameHandedOverBeforeTheStartIsSentByTheMonitor) {
  port_.SendHexFrame(kClose);
  EXPECT_EQ(peer_.ReadBytes(1, 100), Bytes{});  // no monitor: nothing leaves
  ASSERT_EQ(port_.StartMonitor(), 1);
  EXPECT_EQ(peer_.ReadBytes(3, 5000), (Bytes{0x10, 0x3B, 0x04}));
}

TEST_F(MonitorTest, AnOpenInBetweenDiscardsAWaitingFrame) {
  port_.SendHexFrame(kClose);
  ASSERT_EQ(OpenCom1(port_), 1);
  ASSERT_EQ(port_.StartMonitor(), 1);
  EXPECT_EQ(peer_.ReadBytes(1, 200), Bytes{});
}

TEST_F(MonitorTest, StopWinsOverAWaitingFrame) {
  port_.SendHexFrame(kClose);
  SetEvent(port_.m_hStopEvent);
  ASSERT_EQ(port_.StartMonitor(), 1);
  ASSERT_EQ(OpenCom1(port_), 1);
  EXPECT_EQ(peer_.ReadBytes(1, 200), Bytes{});
  EXPECT_FALSE(port_.m_bMonitorAlive.load());
}

// The stop request right after StartMonitor, before the new thread can
// have run, still ends that thread: many times in a row.
TEST_F(MonitorTest, StopBeforeTheThreadHasRun) {
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(port_.StartMonitor(), 1);
    ASSERT_EQ(OpenCom1(port_), 1);
    ASSERT_FALSE(port_.m_bMonitorAlive.load());
  }
  EXPECT_TRUE(porttest::WaitThreadsBackTo(threads_));
  // And the destructor does the same for an object about to go.
  {
    CCommPort other;
    com_.Map({});
    EXPECT_EQ(OpenCom1(other), 0);
    EXPECT_EQ(other.StartMonitor(), 1);
  }
  EXPECT_TRUE(porttest::WaitThreadsBackTo(threads_));
}

TEST_F(MonitorTest, OneMonitorAtATime) {
  ASSERT_EQ(port_.StartMonitor(), 1);
  EXPECT_EQ(port_.StartMonitor(), 0);
  ASSERT_EQ(OpenCom1(port_), 1);
  EXPECT_TRUE(porttest::WaitThreadsBackTo(threads_));
  EXPECT_EQ(port_.StartMonitor(), 1);  // after the stop, a new one starts
}

TEST_F(MonitorTest, HangUpInTheMiddleOfAReplyShowsOneBoxAndTheMonitorBlocks) {
  StartAndSync();
  port_.SendHexFrame(kAnnounce);
  EXPECT_EQ(peer_.ReadBytes(3, 5000).size(), 3u);
  peer_.Write({0x06, 0x80});
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 2));
  peer_.HangUp();
  ASSERT_TRUE(driver_.WaitRecorded(1, Ms(5000)));
  // No endless series: the monitor now sits in its three-way wait.
  std::this_thread::sleep_for(Ms(300));
  EXPECT_EQ(BoxTexts(driver_),
            std::vector<std::string>{
                BoxText("WaitCommEvent()", porttest::ErrorText(ERROR_DEVICE_REMOVED), 1)});
  EXPECT_EQ(ReplyBytes(port_), (Bytes{0x06, 0x80}));
  // A frame handed over now fails on the line: its box, then the event
  // wait's, and the monitor blocks again.
  port_.SendHexFrame(kAnnounce);
  ASSERT_TRUE(driver_.WaitRecorded(3, Ms(5000)));
  std::this_thread::sleep_for(Ms(300));
  const auto boxes = BoxTexts(driver_);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[1].rfind("WARNING:  WriteFile()", 0), 0u);
  EXPECT_EQ(boxes[2].rfind("WARNING:  WaitCommEvent()", 0), 0u);
  com_.Map({});
}

// Failures of single calls on a working line, made by the services' fault
// hook: each shows its box on the monitor thread, and the monitor goes on.
TEST_F(MonitorTest, FailedReadStoresNothingAndTheOtherBytesArrive) {
  StartAndSync();
  testsupport::FailNext("ReadFile", ERROR_GEN_FAILURE);
  peer_.Write({0x06, 0x80, 0x7F});
  ASSERT_TRUE(driver_.WaitRecorded(1, Ms(5000)));
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 3));
  std::this_thread::sleep_for(Ms(100));
  EXPECT_EQ(ReplyBytes(port_), (Bytes{0x06, 0x80, 0x7F}));
  EXPECT_EQ(BoxTexts(driver_), std::vector<std::string>{BoxText(
                                   "ReadFile()", porttest::ErrorText(ERROR_GEN_FAILURE), 1)});
  EXPECT_NE(driver_.Recorded()[0].thread, GetCurrentThreadId());
}

TEST_F(MonitorTest, FailedWriteLosesTheFrameAndTheNextOneGoesOut) {
  StartAndSync();
  testsupport::FailNext("WriteFile", ERROR_GEN_FAILURE);
  port_.SendHexFrame(kAnnounce);
  ASSERT_TRUE(driver_.WaitRecorded(1, Ms(5000)));
  EXPECT_EQ(peer_.ReadBytes(1, 200), Bytes{});
  EXPECT_EQ(BoxTexts(driver_), std::vector<std::string>{BoxText(
                                   "WriteFile()", porttest::ErrorText(ERROR_GEN_FAILURE), 1)});
  port_.SendHexFrame(kClose);
  EXPECT_EQ(peer_.ReadBytes(3, 5000), (Bytes{0x10, 0x3B, 0x04}));
}

TEST_F(MonitorTest, FailedEventWaitShowsItsBoxAndBytesStillArrive) {
  testsupport::FailNext("WaitCommEvent", ERROR_GEN_FAILURE);
  ASSERT_EQ(port_.StartMonitor(), 1);
  ASSERT_TRUE(driver_.WaitRecorded(1, Ms(5000)));
  EXPECT_EQ(BoxTexts(driver_), std::vector<std::string>{BoxText(
                                   "WaitCommEvent()", porttest::ErrorText(ERROR_GEN_FAILURE), 1)});
  // The next frame wakes the monitor; its event wait then works again.
  port_.SendHexFrame(kAnnounce);
  EXPECT_EQ(peer_.ReadBytes(3, 5000).size(), 3u);
  peer_.Write({0x06, 0x80, 0x7F});
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 3));
  EXPECT_EQ(driver_.Recorded().size(), 1u);
}

TEST_F(MonitorTest, FailedGetCommMaskCountsAsAnEmptyMaskAndLosesNoByte) {
  StartAndSync();
  testsupport::FailNext("GetCommMask", ERROR_GEN_FAILURE);
  peer_.Write({0x06});
  ASSERT_TRUE(porttest::WaitReplyCount(port_, 1));
  EXPECT_EQ(ReplyBytes(port_), Bytes{0x06});
  EXPECT_TRUE(driver_.Recorded().empty());
}

TEST(MonitorFailedOpen, EachFrameOnAPortThatDidNotOpenGivesBoundedBoxes) {
  Driver driver(true);
  ComPorts com;
  const long threads = platform::LiveThreadCount();
  CCommPort port;
  EXPECT_EQ(OpenCom1(port), 0);
  ASSERT_EQ(port.StartMonitor(), 1);
  ASSERT_TRUE(driver.WaitRecorded(1, Ms(5000)));
  std::this_thread::sleep_for(Ms(200));
  ASSERT_EQ(driver.Recorded().size(), 1u);
  EXPECT_EQ(driver.Recorded()[0].text.rfind("WARNING:  WaitCommEvent()", 0), 0u);
  EXPECT_NE(driver.Recorded()[0].thread, GetCurrentThreadId());
  port.SendHexFrame(kAnnounce);
  ASSERT_TRUE(driver.WaitRecorded(3, Ms(5000)));
  std::this_thread::sleep_for(Ms(200));
  EXPECT_EQ(driver.Recorded().size(), 3u);
  EXPECT_EQ(OpenCom1(port), 0);
  EXPECT_TRUE(porttest::WaitThreadsBackTo(threads));
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// While the monitor shows a box the stop request waits for the user, and
// it does not spin meanwhile.
TEST(MonitorStop, StopRequestWaitsForAnOpenBoxWithoutSpinning) {
  Driver driver(false);
  ComPorts com;
  const long threads = platform::LiveThreadCount();
  CCommPort port;
  EXPECT_EQ(OpenCom1(port), 0);
  ASSERT_EQ(port.StartMonitor(), 1);
  const testsupport::ui::OpenBox box = driver.WaitBox(Ms(5000));
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.text.rfind("WARNING:  WaitCommEvent()", 0), 0u);

  std::atomic<bool> stopped{false};
  std::thread closer([&] {
    std::this_thread::sleep_for(Ms(400));
    EXPECT_FALSE(stopped.load());  // still waiting for the box
    driver.CloseBox(box);
  });
  const double cpu0 = ThreadCpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenCom1(port), 0);
  stopped = true;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double cpu = ThreadCpuSeconds() - cpu0;
  closer.join();
  EXPECT_GE(wall, 0.35);
  EXPECT_LT(cpu, wall / 2) << "the stop request burned the processor";
  EXPECT_TRUE(porttest::WaitThreadsBackTo(threads));
}

// The stop requests of OpenPort and of the destructor end the monitor's
// event wait before the port is closed, which would abort a wait still pending.
TEST(MonitorStop, NoEventWaitOfTheMonitorIsLeftToTheClose) {
  Driver driver(true);
  Pty peer;
  ComPorts com({peer.path()});
  std::optional<CCommPort> port(std::in_place);
  OVERLAPPED* const wait = &port->m_overlapped;  // its key, also once the object is gone
  std::shared_ptr<platform::SerialPort> closed[2];
  DWORD n = 0;
  for (auto& serial : closed) {
    ASSERT_EQ(OpenCom1(*port), 1);  // the second open is the first stop request
    serial = platform::LookupAs<platform::SerialPort>(port->m_hComm);
    ASSERT_EQ(port->StartMonitor(), 1);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return porttest::Pending(port->m_hComm, wait); }));
  }
  port.reset();
  for (auto& serial : closed) EXPECT_TRUE(serial->Result(wait, &n, FALSE)) << GetLastError();
}

TEST(MonitorOwner, NotificationsForEveryConfiguredEventInTableOrder) {
  Driver driver(true);
  PumpThread owner;
  Pty peer;
  ComPorts com({peer.path()});
  const long threads = platform::LiveThreadCount();
  {
    CCommPort port;
    const DWORD mask = EV_RXCHAR | EV_CTS | EV_RXFLAG | EV_BREAK | EV_ERR | EV_RING;
    ASSERT_EQ(port.OpenPort(owner.wnd(), 1, 9600, 'N', 8, 1, mask, 512), 1);
    ASSERT_EQ(port.StartMonitor(), 1);
    std::this_thread::sleep_for(Ms(50));
    peer.Write({0x42});
    ASSERT_TRUE(owner.WaitReceived(WM_USER + 5, 1, Ms(5000)));
    ASSERT_TRUE(porttest::WaitReplyCount(port, 1));
    EXPECT_EQ(ReplyBytes(port), Bytes{0x42});
    const auto got = owner.received();
    std::vector<UINT> messages;
    for (const auto& r : got) {
      if (r.msg >= WM_USER) {
        messages.push_back(r.msg);
        EXPECT_EQ(r.wParam, 0u);
        EXPECT_EQ(r.lParam, 1);
      }
    }
    const std::vector<UINT> expected = {WM_USER + 2, WM_USER + 8, WM_USER + 1, WM_USER + 4,
                                        WM_USER + 5};
    ASSERT_GE(messages.size(), expected.size());
    EXPECT_EQ(std::vector<UINT>(messages.begin(), messages.begin() + 5), expected);
    EXPECT_EQ(messages.size() % 5, 0u);  // whole rounds only
    ASSERT_EQ(OpenCom1(port), 1);
  }
  EXPECT_TRUE(porttest::WaitThreadsBackTo(threads));
  EXPECT_TRUE(driver.Recorded().empty());
}

TEST(MonitorOwner, RxCharAloneSendsNoMessage) {
  Driver driver(true);
  PumpThread owner;
  Pty peer;
  ComPorts com({peer.path()});
  CCommPort port;
  ASSERT_EQ(port.OpenPort(owner.wnd(), 1, 9600, 'N', 8, 1, EV_RXCHAR, 512), 1);
  ASSERT_EQ(port.StartMonitor(), 1);
  std::this_thread::sleep_for(Ms(50));
  peer.Write({0x01, 0x02, 0x03});
  ASSERT_TRUE(porttest::WaitReplyCount(port, 3));
  ASSERT_EQ(OpenCom1(port), 1);
  for (const auto& r : owner.received()) EXPECT_LT(r.msg, UINT(WM_USER));
}

}  // namespace
