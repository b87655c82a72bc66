// Transactions that meet a silent, faulty or vanishing camera. Each case
// waits out at least one 2000 ms time-out, so each is its own TEST and
// ctest -j runs them side by side.
#include <unistd.h>

#include <mutex>
#include <thread>

#include "tests/camera/camera_fixture.h"

namespace {

using cameratest::CameraTest;
using cameratest::Ms;
using porttest::TimeoutBox;

TEST_F(CameraTest, SilentCameraReadShowsOneBoxAfterTwoSeconds) {
  camsim::Faults faults;
  faults.silent = true;
  StartCamera(faults);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Read("F70"), "XXXX");
  EXPECT_GE(Since(t0), 2.0);
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
  EXPECT_EQ(driver_.Recorded()[0].thread, GetCurrentThreadId());
  EXPECT_EQ(Frames(), std::vector<std::string>{"05807F"});
}

TEST_F(CameraTest, SilentCameraWriteGivesXXXX) {
  camsim::Faults faults;
  faults.silent = true;
  StartCamera(faults);
  EXPECT_EQ(Write("F70", "5A"), "XXXX");
  EXPECT_EQ(port_->LastOutcome(), camera::Outcome::kTimeOut);
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
}

// An owner's own receiver gets the time-out as a value; no box is shown.
TEST_F(CameraTest, AnOwnersReceiverGetsTheTimeOut) {
  porttest::Recorder recorder;
  port_ = std::make_unique<CCommPort>(recorder);
  camsim::Faults faults;
  faults.silent = true;
  StartCamera(faults);
  EXPECT_EQ(Read("F70"), "XXXX");
  port_.reset();
  const auto failures = recorder.Failures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].step, engine::Step::kReplyTimeout);
  EXPECT_EQ(failures[0].text, TimeoutBox(1));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CameraTest, WriteWhoseFirstCloseTimesOutGivesXXXXF) {
  camsim::Faults faults;
  faults.silentAfter = 2;  // announce and setup answered, close not
  StartCamera(faults);
  EXPECT_EQ(Write("F70", "5A"), "XXXXF");
  EXPECT_EQ(port_->LastOutcome(), camera::Outcome::kWriteNotSent);
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
  EXPECT_EQ(Frames().size(), 3u);
}

TEST_F(CameraTest, WriteWhoseReadBackTimesOutGivesFFFF) {
  camsim::Faults faults;
  faults.silentAfter = 7;  // everything but the read-back
  StartCamera(faults);
  EXPECT_EQ(Write("F70", "5A"), "FFFF");
  EXPECT_EQ(port_->LastOutcome(), camera::Outcome::kReadBackFailed);
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
  EXPECT_EQ(camera_->Cell(0, 0xF7), 0x5A);  // the write itself was answered
}

// A camera whose reply carries one byte too many in the same write, so that
// the transaction examines the reply with the extra byte already in (the
// simulated camera sends its fault bytes in a write of their own, which
// the transaction may or may not see before it examines the reply; both
// are right, so only a single write makes the case certain). It answers
// frames of the given lengths with the given replies, then stays silent.
class ScriptedCameraTest : public CameraTest {
 protected:
  using Bytes = std::vector<unsigned char>;
  struct Step {
    std::size_t frameBytes;
    Bytes reply;
  };

  void Run(std::vector<Step> script) {
    peer_ = std::make_unique<porttest::Pty>();
    ASSERT_EQ(symlink(peer_->path().c_str(), link_.c_str()), 0);
    ASSERT_EQ(porttest::OpenCom1(*port_), 1);
    script_ = std::thread([this, script] {
      for (const Step& step : script) {
        const Bytes frame = peer_->ReadBytes(step.frameBytes, 5000);
        if (frame.size() != step.frameBytes) return;
        {
          std::lock_guard<std::mutex> lock(mu_);
          frames_.push_back(testhex::ToHex(frame));
        }
        if (!step.reply.empty()) peer_->Write(step.reply);
      }
    });
  }
  // The frames the script received (joins it: call after the transaction).
  std::vector<std::string> ScriptFrames() {
    if (script_.joinable()) script_.join();
    std::lock_guard<std::mutex> lock(mu_);
    return frames_;
  }
  void TearDown() override {
    if (script_.joinable()) script_.join();
    CameraTest::TearDown();
  }

  std::unique_ptr<porttest::Pty> peer_;
  std::thread script_;
  std::mutex mu_;
  std::vector<std::string> frames_;
};

const std::vector<unsigned char> kSetupReply = {
    0x10, 0x3B, 0x01, 0x80, 0x13, 0x28, 0x03, 0x00, 0x01, 0x02, 0x01, 0x01, 0x1F,
    0x02, 0x01, 0x19, 0x03, 0x01, 0x01, 0x80, 0x01, 0x01, 0x81, 0x01, 0x01, 0x3C};

TEST_F(ScriptedCameraTest, AnnounceReplyWithOneExtraByteTimesOut) {
  Run({{3, {0x06, 0x80, 0x7F, 0x01}}});
  port_->StartMonitor();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_STREQ(port_->ReadCode("F70"), "XXXX");
  EXPECT_GE(Since(t0), 2.0);
  EXPECT_EQ(port_->m_replyCount, 4u);
  porttest::OpenCom1(*port_);
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
}

TEST_F(ScriptedCameraTest, SetupReplyOf27BytesTimesOut) {
  Bytes setup27 = kSetupReply;
  setup27.push_back(0x00);
  Run({{3, {0x06, 0x80, 0x7F}}, {24, setup27}, {3, {}}});
  port_->StartMonitor();
  EXPECT_STREQ(port_->ReadCode("F70"), "XXXX");
  EXPECT_EQ(port_->m_replyCount, 27u);
  porttest::OpenCom1(*port_);
  EXPECT_EQ(ScriptFrames().size(), 2u);  // the close frame was never sent
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
}

TEST_F(ScriptedCameraTest, SetupReplyOfExactly26BytesCompletesItsStep) {
  // The same camera with the right setup reply gets as far as the close
  // (which it leaves unanswered).
  Run({{3, {0x06, 0x80, 0x7F}}, {24, kSetupReply}, {3, {}}});
  port_->StartMonitor();
  EXPECT_STREQ(port_->ReadCode("F70"), "XXXX");
  porttest::OpenCom1(*port_);
  const auto frames = ScriptFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2], "103B04");
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
}

TEST_F(CameraTest, BurstBeyondTheReplyBufferTimesOutWithoutOverrun) {
  camsim::Faults faults;
  faults.burstCount = 60;
  faults.burstByte = 0x06;
  faults.burstAt = 2;
  faults.burstInstead = true;
  StartCamera(faults);
  port_->StartMonitor();
  EXPECT_STREQ(port_->ReadCode("F70"), "XXXX");
  EXPECT_EQ(port_->m_replyCount, 60u);  // counted, but only 44 stored
  for (unsigned i = 0; i < CCommPort::kReplyCapacity; ++i) EXPECT_EQ(port_->m_replyBuffer[i], 0x06);
  porttest::OpenCom1(*port_);
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
}

TEST_F(CameraTest, BurstOfNonZeroBytesOnATextReplyTimesOut) {
  // 44 and more non-zero bytes: the text recogniser finds no terminator in
  // the buffer and must not read past it.
  camsim::Faults faults;
  faults.burstCount = 50;
  faults.burstByte = 0x7F;
  faults.burstAt = 1;
  faults.burstInstead = true;
  StartCamera(faults);
  EXPECT_EQ(Read("F70"), "XXXX");
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
}

TEST_F(CameraTest, PauseOf1900MsInsideAReplySucceeds) {
  camsim::Faults faults;
  faults.pauseAt = 2;
  faults.pauseAfterByte = 10;
  faults.pauseMs = 1900;
  StartCamera(faults);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Read("F70"), "1234");
  EXPECT_GE(Since(t0), 1.9);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CameraTest, PauseOf2100MsInsideAReplyTimesOut) {
  camsim::Faults faults;
  faults.pauseAt = 2;
  faults.pauseAfterByte = 10;
  faults.pauseMs = 2100;
  StartCamera(faults);
  EXPECT_EQ(Read("F70"), "XXXX");
  EXPECT_EQ(Boxes(), std::vector<std::string>{TimeoutBox(1)});
}

// The camera hangs up after the fourth exchange and comes back on a new
// line at the same path: the transaction ends within its time-out with a
// few boxes (never an endless series), and the next command works.
TEST_F(CameraTest, HangUpInTheMiddleOfATransactionThenTheLineComesBack) {
  camsim::Faults faults;
  faults.hangupAfter = 4;
  faults.returnAfterMs = 500;
  StartCamera(faults);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Read("F70"), "XXXX");
  EXPECT_LT(Since(t0), 10.0);
  const auto boxes = Boxes();
  ASSERT_GE(boxes.size(), 2u);
  EXPECT_LE(boxes.size(), 4u);
  EXPECT_EQ(boxes.back(), TimeoutBox(1));
  for (std::size_t i = 0; i + 1 < boxes.size(); ++i) {
    const bool known = boxes[i].rfind("WARNING:  WaitCommEvent()", 0) == 0 ||
                       boxes[i].rfind("WARNING:  ReadFile()", 0) == 0 ||
                       boxes[i].rfind("WARNING:  WriteFile()", 0) == 0;
    EXPECT_TRUE(known) << boxes[i];
  }
  ASSERT_TRUE(camera_->WaitForLines(2, 10000));
  driver_.ClearRecorded();
  EXPECT_EQ(Read("F70"), "1234");
  EXPECT_TRUE(Boxes().empty());
}

// The line goes away while a reply is half sent: the monitor shows the
// event wait's box once and blocks; the transaction times out with its box;
// the next command works on the line that is back.
TEST_F(CameraTest, HangUpInTheMiddleOfAReply) {
  auto peer = std::make_unique<porttest::Pty>();
  ASSERT_EQ(symlink(peer->path().c_str(), link_.c_str()), 0);
  ASSERT_EQ(porttest::OpenCom1(*port_), 1);
  port_->StartMonitor();
  std::thread camera([&] {
    // Answer the announce with two of its three bytes, then hang up.
    if (peer->Read(3, 5000).size() != 3) return;
    peer->Write({0x06, 0x80});
    if (!porttest::WaitReplyCount(*port_, 2)) return;
    peer->HangUp();
  });
  const auto t0 = std::chrono::steady_clock::now();
  const std::string result = port_->ReadCode("F70");
  camera.join();
  EXPECT_EQ(result, "XXXX");
  EXPECT_GE(Since(t0), 2.0);
  EXPECT_EQ(Boxes(),
            (std::vector<std::string>{
                porttest::BoxText("WaitCommEvent()", porttest::ErrorText(ERROR_DEVICE_REMOVED), 1),
                TimeoutBox(1)}));
  com_.Map({});
  EXPECT_EQ(porttest::OpenCom1(*port_), 0);  // ends the monitor; the line is gone
  peer.reset();

  // The line is back at the same path (the camera re-points the link).
  unlink(link_.c_str());
  com_.Map({link_});
  driver_.ClearRecorded();
  StartCamera();
  EXPECT_EQ(Read("F70"), "1234");
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
