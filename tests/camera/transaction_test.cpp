// The read and write transactions against the simulated camera: the frames
// on the line, the codes, and commands one after another.
#include "tests/camera/camera_fixture.h"

namespace {

using cameratest::CameraTest;
using cameratest::kReadF7Frames;

TEST_F(CameraTest, ReadSendsEightFramesInOrderAndReturnsBothCodes) {
  StartCamera();
  EXPECT_EQ(Read("F70"), "1234");
  EXPECT_EQ(Frames(), kReadF7Frames);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CameraTest, ReadOfPageOneUsesTheWorkedFrame) {
  StartCamera();
  camera_->SetCell(1, 0x00, 0xA7);
  EXPECT_EQ(Read("001"), "12A7");
  const auto frames = Frames();
  ASSERT_EQ(frames.size(), 8u);
  EXPECT_EQ(frames[7], "01800E10204D40010002FFFFFFFFFFFFFFFF30");
  camera_->SetCell(0, 0x12, 0x00);
  EXPECT_EQ(Read("120"), "1200");
  EXPECT_EQ(Frames().back(), "01800E10204D40001202FFFFFFFFFFFFFFFF23");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CameraTest, WriteSendsEightFramesAndReturnsTheCodeReadBack) {
  StartCamera();
  EXPECT_EQ(Write("F70", "5A"), "5A");
  using namespace testhex;
  const std::vector<std::string> expected = {
      kAnnounce, kSetup,    kClose,     kAnnounce, "01800E10204D1000F7025AFFFFFFFFFFFFFF33",
      kClose,    kAnnounce, kCellReadF7};
  EXPECT_EQ(Frames(), expected);
  EXPECT_EQ(camera_->Cell(0, 0xF7), 0x5A);
  // The reference cell is untouched, and a Read sees the new code.
  EXPECT_EQ(Read("F70"), "125A");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CameraTest, ResultTextIsValidUntilTheNextTransaction) {
  StartCamera();
  port_->StartMonitor();
  const char* first = port_->ReadCode("F70");
  EXPECT_STREQ(first, "1234");
  EXPECT_STREQ(port_->m_resultText, "1234");
  const char* second = port_->WriteCode("F70", "3C");
  EXPECT_STREQ(second, "3C");
  porttest::OpenCom1(*port_);
}

// Many commands in a row on the same object: every one works, and nothing
// (descriptor, handle, thread) accumulates.
TEST_F(CameraTest, ThousandCommandsLeakNothing) {
  StartCamera();
  ASSERT_EQ(Read("F70"), "1234");
  const std::size_t fds = testsupport::OpenFdCount();
  const std::size_t handles = platform::OpenHandleCount();
  for (int i = 0; i < 1000; ++i) {
    const char value[3] = {"0123456789ABCDEF"[(i >> 4) & 15], "0123456789ABCDEF"[i & 15], 0};
    if (i % 4 == 3) {
      ASSERT_EQ(Write("F70", value), value) << i;
    } else {
      ASSERT_EQ(Read("F80").substr(0, 2), "12") << i;
    }
  }
  EXPECT_TRUE(porttest::WaitThreadsBackTo(threads_));
  EXPECT_EQ(testsupport::OpenFdCount(), fds);
  EXPECT_EQ(platform::OpenHandleCount(), handles);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
