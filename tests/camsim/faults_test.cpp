// Each fault of the simulated camera, seen from the tester's end of a real
// pseudo-terminal. Slow cases are separate tests so that ctest -j runs them
// side by side.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include "tests/camsim/tester_line.h"
#include "tools/camsim/camsim.h"

namespace {

using camsim::Camsim;
using camsim::CamsimOptions;
using camsim::Faults;
using camsim::LogKind;
using camsim_test::Hex;
using camsim_test::NowMs;
using camsim_test::TempDir;
using camsim_test::TesterLine;
using camsim_test::ToHex;

using testhex::kAnnounce;
using testhex::kClose;

std::unique_ptr<Camsim> StartWith(const Faults& f, const std::string& link = {}) {
  CamsimOptions o;
  o.faults = f;
  o.linkPath = link;
  std::string err;
  auto cam = Camsim::Start(o, &err);
  EXPECT_TRUE(cam) << err;
  return cam;
}

TEST(CamsimFaults, SilentReceivesButNeverReplies) {
  Faults f;
  f.silent = true;
  auto cam = StartWith(f);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  line.Send(Hex(kAnnounce));
  line.Send(camsim::CellWriteFrame(0, 0x01, 0x99));
  ASSERT_TRUE(cam->WaitForFrames(2, 2000));
  EXPECT_TRUE(line.ReadUntilQuiet(200).empty());
  EXPECT_EQ(cam->WaitFor(LogKind::kTx, 1, 0), false);
  EXPECT_EQ(cam->Cell(0, 0x01), 0x99);  // the write itself took effect

  // The fault set can be lifted between transactions.
  cam->SetFaults(Faults{});
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  EXPECT_EQ(cam->Exchanges(), 1);
}

TEST(CamsimFaults, SilentAfterKRepliesToTheFirstKOnly) {
  Faults f;
  f.silentAfter = 2;
  auto cam = StartWith(f);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  line.Send(Hex(kAnnounce));
  ASSERT_TRUE(cam->WaitForFrames(3, 2000));
  EXPECT_TRUE(line.ReadUntilQuiet(200).empty());

  // Restarting the count makes the next two frames exchanges 1 and 2 again.
  cam->SetFaults(f);
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  line.Send(Hex(kClose));
  EXPECT_TRUE(line.ReadUntilQuiet(200).empty());
}

TEST(CamsimFaults, ExtraBytesFollowTheChosenReplies) {
  Faults f;
  f.extraCount = 1;
  f.extraByte = 0x00;
  auto cam = StartWith(f);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 4)), "06807F00");
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 2)), "0600");

  f.extraCount = 3;
  f.extraByte = 0x7E;
  f.extraAt = 2;
  cam->SetFaults(f);
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  EXPECT_TRUE(line.ReadUntilQuiet(50).empty());
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 6)), "06807F7E7E7E");
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  EXPECT_TRUE(line.ReadUntilQuiet(50).empty());
}

TEST(CamsimFaults, BurstAfterOrInsteadOfTheChosenReply) {
  Faults f;
  f.burstCount = 60;
  f.burstByte = 0xA5;
  f.burstAt = 2;
  auto cam = StartWith(f);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  EXPECT_TRUE(line.ReadUntilQuiet(50).empty());
  const auto got = line.Exchange(Hex(kClose), 61);
  ASSERT_EQ(got.size(), 61u);
  EXPECT_EQ(got[0], 0x06);
  EXPECT_EQ(camsim::Bytes(got.begin() + 1, got.end()), camsim::Bytes(60, 0xA5));
  EXPECT_TRUE(line.ReadUntilQuiet(50).empty());

  f.burstInstead = true;
  f.burstAt = 1;
  cam->SetFaults(f);
  const auto instead = line.Exchange(Hex(kAnnounce), 60);
  EXPECT_EQ(instead, camsim::Bytes(60, 0xA5));
  EXPECT_TRUE(line.ReadUntilQuiet(50).empty());
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
}

TEST(CamsimFaults, PauseBetweenTwoBytesOfTheChosenReply) {
  Faults f;
  f.pauseMs = 400;
  f.pauseAt = 2;
  f.pauseAfterByte = 5;
  auto cam = StartWith(f);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  line.Send(camsim::CellReadFrame(0, 0xF8));
  const auto head = line.ReadN(5, 2000);
  const double t0 = NowMs();
  const auto tail = line.ReadN(13, 2000);
  const double gap = NowMs() - t0;
  EXPECT_EQ(head.size(), 5u);
  EXPECT_EQ(tail.size(), 13u);
  EXPECT_EQ(ToHex(head) + ToHex(tail), "103B01800B19204D4012FFFFFFFFFFFFFF53");
  EXPECT_GE(gap, 400.0 * 0.95);  // poll's clock granularity aside: at least T
}

TEST(CamsimFaults, HangUpClosesTheLineAfterTheChosenExchange) {
  Faults f;
  f.hangupAfter = 2;
  auto cam = StartWith(f);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  // The reply to exchange 2 is still sent, then the line goes.
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  ASSERT_TRUE(cam->WaitFor(LogKind::kHangup, 1, 2000));
  pollfd p{line.Fd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 2000), 1);
  EXPECT_NE(p.revents & POLLHUP, 0);
  char c;
  EXPECT_LE(read(line.Fd(), &c, 1), 0);
  // Without a return the line stays gone.
  EXPECT_FALSE(cam->WaitForLines(2, 300));
}

TEST(CamsimFaults, ComesBackAtTheSameLinkPath) {
  TempDir dir;
  const std::string link = dir.File("camera");
  Faults f;
  f.hangupAfter = 1;
  f.returnAfterMs = 300;
  auto cam = StartWith(f, link);
  ASSERT_TRUE(cam);
  {
    TesterLine line(link);
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
    ASSERT_TRUE(cam->WaitFor(LogKind::kHangup, 1, 2000));
    const double down = NowMs();
    ASSERT_TRUE(cam->WaitForLines(2, 5000));
    EXPECT_GE(NowMs() - down, 300.0 * 0.95);
  }
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), cam->SlavePath());
  TesterLine again(link);
  ASSERT_TRUE(again.IsOpen());
  EXPECT_EQ(ToHex(again.Exchange(Hex(kAnnounce), 3)), "06807F");
  EXPECT_EQ(ToHex(again.Exchange(camsim::CellReadFrame(0, 0xF7), 18)),
            "103B01800B19204D4034FFFFFFFFFFFFFF75");
  const auto log = cam->Log();
  bool returned = false;
  for (const auto& e : log) returned |= e.kind == LogKind::kReturn && e.path == cam->SlavePath();
  EXPECT_TRUE(returned);
}

TEST(CamsimFaults, DestroyingDuringALongWaitDoesNotHang) {
  CamsimOptions o;
  o.thinkMs = 60'000;
  std::string err;
  auto cam = Camsim::Start(o, &err);
  ASSERT_TRUE(cam) << err;
  TesterLine line(cam->SlavePath());
  line.Send(Hex(kAnnounce));
  ASSERT_TRUE(cam->WaitForFrames(1, 2000));
  const double t0 = NowMs();
  cam.reset();
  EXPECT_LT(NowMs() - t0, 10'000.0);
}

}  // namespace
