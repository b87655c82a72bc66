// The engine's transactions on the real kernel32 serial services, against a
// scripted camera: COM1 (the engine's port) and COM2 (the script's) are the
// two ends of a pair of joined pseudo-terminals (tests/windows/port-pair.sh
// makes them and the prefix). The script thread plays the camera on COM2
// with plain kernel32 calls: for each step it reads the frame the engine
// must send, keeps it, and sends the step's reply (or nothing).
#include <gtest/gtest.h>
#include <windows.h>
// After <windows.h>, whose types it uses.
#include <tlhelp32.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/CommandTable.h"
#include "port/CommPort.h"
#include "testing/hex.h"
#include "testing/wait.h"

namespace {

using camera::kCommandTable;
using testhex::Bytes;

struct Step {
  std::string frame;  // the frame expected from the engine, hex
  Bytes reply;        // sent once the frame is in; none: the camera is silent
};

// The reply of a row of the command table; code goes into a cell reply.
Bytes Reply(int row, int code = -1) {
  const auto& r = kCommandTable[row];
  Bytes bytes(r.replyImage, r.replyImage + r.replyImageBytes);
  if (code >= 0) bytes[camera::kReplyCodeIndex] = static_cast<std::uint8_t>(code);
  return bytes;
}

// The camera on COM2, running its script on a thread of its own.
class ScriptedCamera {
 public:
  explicit ScriptedCamera(std::vector<Step> script) {
    port_ = CreateFileA("\\\\.\\COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                        nullptr);
    if (port_ == INVALID_HANDLE_VALUE) return;
    // A frame that does not come within 5 s ends the script.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = 5000;
    SetCommTimeouts(port_, &timeouts);
    PurgeComm(port_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    thread_ = std::thread([this, script = std::move(script)] { Run(script); });
  }
  ~ScriptedCamera() {
    if (thread_.joinable()) thread_.join();
    if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
  }
  bool Opened() const { return port_ != INVALID_HANDLE_VALUE; }
  // The frames received so far, hex; complete once the script has ended.
  std::vector<std::string> Frames() {
    if (thread_.joinable()) thread_.join();
    return frames_;
  }

 private:
  void Run(const std::vector<Step>& script) {
    for (const Step& step : script) {
      Bytes frame(step.frame.size() / 2);
      DWORD got = 0, n = 0;
      while (got < frame.size() &&
             ReadFile(port_, frame.data() + got, static_cast<DWORD>(frame.size() - got), &n,
                      nullptr) &&
             n > 0) {
        got += n;
      }
      frame.resize(got);
      frames_.push_back(testhex::ToHex(frame));
      if (got == 0) return;
      DWORD sent = 0;
      if (!step.reply.empty()) {
        WriteFile(port_, step.reply.data(), static_cast<DWORD>(step.reply.size()), &sent, nullptr);
      }
    }
  }

  HANDLE port_ = INVALID_HANDLE_VALUE;
  std::vector<std::string> frames_;
  std::thread thread_;
};

// Keeps the engine's failures (called on the thread that met one).
class Recorder final : public engine::Receiver {
 public:
  void OnFailure(const engine::Failure& failure) override {
    std::lock_guard<std::mutex> lock(mutex_);
    steps_.push_back(failure.step);
  }
  void OnOwnerNotification(CWnd*, UINT, WPARAM, LPARAM) override {}
  std::vector<engine::Step> Steps() {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
  }

 private:
  std::mutex mutex_;
  std::vector<engine::Step> steps_;
};

long ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  long count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

using namespace testhex;
const std::vector<std::string> kReadF7 = {kAnnounce,      kSetup, kClose,    kAnnounce,
                                          kReferenceRead, kClose, kAnnounce, kCellReadF7};

class Transactions : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Open(), 1); }
  int Open() {
    return port_.OpenPort(nullptr, 1, CCommPort::kLineBaud, CCommPort::kLineParity,
                          CCommPort::kLineDataBits, CCommPort::kLineStopBits,
                          CCommPort::kLineEventMask, CCommPort::kLineWriteBufferSize);
  }
  // One command as the dialog runs it: the monitor, the transaction, and the
  // open that ends the monitor.
  template <class Transaction>
  std::string Run(Transaction transaction) {
    port_.StartMonitor();
    const std::string result = transaction();
    Open();
    return result;
  }

  Recorder recorder_;
  CCommPort port_{recorder_};
};

TEST_F(Transactions, ReadSendsTheEightFramesAndReturnsBothCodes) {
  const std::vector<Bytes> replies = {Reply(0),       Reply(1), Reply(2), Reply(0),
                                      Reply(3, 0x12), Reply(2), Reply(0), Reply(4, 0x34)};
  std::vector<Step> script;
  for (std::size_t i = 0; i < kReadF7.size(); ++i) script.push_back({kReadF7[i], replies[i]});
  ScriptedCamera camera(script);
  ASSERT_TRUE(camera.Opened());
  EXPECT_EQ(Run([&] { return port_.ReadCode("F70"); }), "1234");
  EXPECT_EQ(camera.Frames(), kReadF7);
  EXPECT_TRUE(recorder_.Steps().empty());
}

TEST_F(Transactions, WriteReturnsTheCodeReadBack) {
  ScriptedCamera camera({{kAnnounce, Reply(0)},
                         {kSetup, Reply(1)},
                         {kClose, Reply(2)},
                         {kAnnounce, Reply(0)},
                         {"01800E10204D1000F7025AFFFFFFFFFFFFFF33", Reply(5, 0x5A)},
                         {kClose, Reply(2)},
                         {kAnnounce, Reply(0)},
                         {kCellReadF7, Reply(4, 0x5B)}});
  ASSERT_TRUE(camera.Opened());
  EXPECT_EQ(Run([&] { return port_.WriteCode("F70", "5A"); }), "5B");
  EXPECT_EQ(camera.Frames().size(), 8u);
  EXPECT_TRUE(recorder_.Steps().empty());
}

// Each of these ends with the 2 s reply time-out and one failure.
void ExpectTimeOut(Recorder& recorder) {
  EXPECT_EQ(recorder.Steps(), std::vector<engine::Step>{engine::Step::kReplyTimeout});
}

TEST_F(Transactions, SilentCameraGivesOneTimeOut) {
  ScriptedCamera camera(std::vector<Step>{{kAnnounce, Bytes{}}});
  ASSERT_TRUE(camera.Opened());
  EXPECT_EQ(Run([&] { return port_.ReadCode("F70"); }), camera::kTimedOut);
  ExpectTimeOut(recorder_);
  EXPECT_EQ(camera.Frames(), std::vector<std::string>{kAnnounce});
}

// The setup's reply with one byte too many, in one write: never complete.
TEST_F(Transactions, AReplyThatOvershootsNeverCompletes) {
  Bytes overshoot = Reply(1);
  overshoot.push_back(0x00);
  ScriptedCamera camera({{kAnnounce, Reply(0)}, {kSetup, overshoot}, {kClose, {}}});
  ASSERT_TRUE(camera.Opened());
  EXPECT_EQ(Run([&] { return port_.ReadCode("F70"); }), camera::kTimedOut);
  ExpectTimeOut(recorder_);
  // The close that a complete setup would bring never comes (the script's
  // read of it ends empty after its 5 s).
  EXPECT_EQ(camera.Frames(), (std::vector<std::string>{kAnnounce, kSetup, ""}));
}

// A babbling camera: far more bytes than the reply buffer holds are counted,
// none written past it (the fields behind it keep their values).
TEST_F(Transactions, ABabblingCameraDoesNotOverflowTheReplyBuffer) {
  const Bytes babble(300, 'A');
  ScriptedCamera camera({{kAnnounce, babble}});
  ASSERT_TRUE(camera.Opened());
  port_.StartMonitor();
  EXPECT_STREQ(port_.ReadCode("F70"), camera::kTimedOut);
  // The count is the monitor's, under the port lock.
  EXPECT_TRUE(testsupport::WaitUntil([&] {
    EnterCriticalSection(&port_.m_lock);
    const bool all = port_.m_replyCount == babble.size();
    LeaveCriticalSection(&port_.m_lock);
    return all;
  }));
  EXPECT_EQ(port_.m_pReceiver, &recorder_);
  EXPECT_EQ(Open(), 1);
  ExpectTimeOut(recorder_);
}

// The dialog's cycle, many times over: every monitor ends with the open
// that follows, and none is left when the object goes.
TEST(TransactionThreads, MonitorCyclesLeaveNoThread) {
  const long baseline = ThreadCount();
  {
    Recorder recorder;
    CCommPort port(recorder);
    for (int i = 0; i < 20; ++i) {
      ASSERT_EQ(port.OpenPort(nullptr, 1, 9600, 'N', 8, 1, EV_RXCHAR, 512), 1);
      ASSERT_NE(port.StartMonitor(), 0) << i;
    }
    EXPECT_TRUE(recorder.Steps().empty());
  }
  EXPECT_TRUE(testsupport::WaitUntil([&] { return ThreadCount() <= baseline; }));
}

}  // namespace
