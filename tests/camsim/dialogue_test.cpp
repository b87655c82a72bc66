// The simulated camera as a peer on a real pseudo-terminal: the service
// dialogue, noise, the memory, the log, the link and the pacing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/camsim/tester_line.h"
#include "tools/camsim/camsim.h"

namespace {

using camsim::Camsim;
using camsim::CamsimOptions;
using camsim::LogKind;
using camsim_test::Bytes;
using camsim_test::Hex;
using camsim_test::NowMs;
using camsim_test::ReadFile;
using camsim_test::TempDir;
using camsim_test::TesterLine;
using camsim_test::ToHex;

using testhex::kAnnounce;
using testhex::kCellReadF7;
using testhex::kClose;
using testhex::kReferenceRead;
using testhex::kSetup;
using testhex::kSetupReply;

std::unique_ptr<Camsim> StartCam(const CamsimOptions& o = {}) {
  std::string err;
  auto cam = Camsim::Start(o, &err);
  EXPECT_TRUE(cam) << err;
  return cam;
}

// One frame, its whole reply, and nothing after it.
void ExpectExchange(TesterLine& line, const std::string& frame, const std::string& reply) {
  SCOPED_TRACE(frame);
  EXPECT_EQ(ToHex(line.Exchange(Hex(frame), reply.size() / 2)), reply);
  EXPECT_TRUE(line.ReadUntilQuiet(30).empty());
}

// The exchanges of a read of (page, address): announce, setup, close,
// announce, reference read, close, announce, cell read. Returns the two
// codes as the reply bytes at index 9.
std::string RunRead(TesterLine& line, int page, int address) {
  std::string codes;
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  EXPECT_EQ(ToHex(line.Exchange(Hex(kSetup), 26)), kSetupReply);
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  Bytes ref = line.Exchange(Hex(kReferenceRead), 18);
  EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
  EXPECT_EQ(ToHex(line.Exchange(Hex(kAnnounce), 3)), "06807F");
  Bytes cell = line.Exchange(camsim::CellReadFrame(page, address), 18);
  if (ref.size() == 18 && cell.size() == 18) codes = ToHex({ref[9], cell[9]});
  return codes;
}

TEST(CamsimDialogue, FullReadIsAnsweredByteForByte) {
  auto cam = StartCam();
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  ASSERT_TRUE(line.IsOpen());
  ExpectExchange(line, kAnnounce, "06807F");
  ExpectExchange(line, kSetup, kSetupReply);
  ExpectExchange(line, kClose, "06");
  ExpectExchange(line, kAnnounce, "06807F");
  ExpectExchange(line, kReferenceRead, "103B01800B19204D4012FFFFFFFFFFFFFF53");
  ExpectExchange(line, kClose, "06");
  ExpectExchange(line, kAnnounce, "06807F");
  ExpectExchange(line, kCellReadF7, "103B01800B19204D4034FFFFFFFFFFFFFF75");
  EXPECT_EQ(cam->Exchanges(), 8);

  // The in-memory log holds each frame and its reply, in order.
  const auto log = cam->Log();
  ASSERT_EQ(log.size(), 16u);
  EXPECT_EQ(log[0].kind, LogKind::kRx);
  EXPECT_EQ(ToHex(log[0].bytes), kAnnounce);
  EXPECT_EQ(log[1].kind, LogKind::kTx);
  EXPECT_EQ(ToHex(log[1].bytes), "06807F");
  EXPECT_EQ(ToHex(log[14].bytes), kCellReadF7);
  EXPECT_EQ(ToHex(log[15].bytes), "103B01800B19204D4034FFFFFFFFFFFFFF75");
  for (std::size_t i = 1; i < log.size(); ++i) EXPECT_LE(log[i - 1].seconds, log[i].seconds);
}

TEST(CamsimDialogue, WriteStoresTheCodeAndReadsBack) {
  auto cam = StartCam();
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  ExpectExchange(line, kAnnounce, "06807F");
  ExpectExchange(line, ToHex(camsim::CellWriteFrame(0, 0xF7, 0x5A)),
                 "103B01800B19204D105AFFFFFFFFFFFFFF4B");
  EXPECT_EQ(cam->Cell(0, 0xF7), 0x5A);
  EXPECT_EQ(RunRead(line, 0, 0xF7), "125A");

  // Page 1 is its own page; the same address on page 0 is unchanged.
  line.Exchange(camsim::CellWriteFrame(1, 0x33, 0x00), 18);
  EXPECT_EQ(cam->Cell(1, 0x33), 0x00);
  EXPECT_EQ(cam->Cell(0, 0x33), 0x33 ^ 0x5A);
  EXPECT_EQ(RunRead(line, 1, 0x33), "1200");

  // SetCell from the test side is what the camera then reports.
  cam->SetCell(0, 0xF8, 0xEE);
  EXPECT_EQ(RunRead(line, 0, 0x33), "EE69");
}

TEST(CamsimDialogue, NoiseAndBrokenFramesGetNoReply) {
  auto cam = StartCam();
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());

  Bytes bad = camsim::CellReadFrame(0, 0xF8);
  bad[18] ^= 0x01;
  line.Send(Hex("AA55"));
  line.Send(bad);
  line.Send(camsim::CellReadFrame(3, 0x10));  // no such page
  EXPECT_TRUE(line.ReadUntilQuiet(150).empty());

  // A frame split over several writes with gaps is still one frame, and
  // noise right before it does not hide it.
  line.Send(Hex("FF05"));
  usleep(30'000);
  line.Send(Hex("80"));
  usleep(30'000);
  line.Send(Hex("7F"));
  EXPECT_EQ(ToHex(line.ReadN(3, 2000)), "06807F");
  EXPECT_TRUE(line.ReadUntilQuiet(50).empty());

  // Two frames in one write get two replies, in order.
  line.Send(Hex(std::string(kClose) + kAnnounce));
  EXPECT_EQ(ToHex(line.ReadN(4, 2000)), "0606807F");

  EXPECT_EQ(cam->Exchanges(), 3);
  std::string noise;
  for (const auto& e : cam->Log()) {
    if (e.kind == LogKind::kNoise) noise += ToHex(e.bytes);
  }
  EXPECT_EQ(noise, "AA55" + ToHex(bad) + ToHex(camsim::CellReadFrame(3, 0x10)) + "FF");
}

TEST(CamsimDialogue, TesterMayCloseAndReopenTheLine) {
  auto cam = StartCam();
  ASSERT_TRUE(cam);
  for (int i = 0; i < 3; ++i) {
    TesterLine line(cam->SlavePath());
    ASSERT_TRUE(line.IsOpen());
    ExpectExchange(line, kAnnounce, "06807F");
  }
}

TEST(CamsimDialogue, LogFileHasOneTimestampedLinePerEntry) {
  TempDir dir;
  CamsimOptions o;
  o.logPath = dir.File("cam.log");
  o.faults.extraCount = 2;
  o.faults.extraByte = 0xEE;
  o.faults.extraAt = 2;
  {
    auto cam = StartCam(o);
    ASSERT_TRUE(cam);
    TesterLine line(cam->SlavePath());
    line.Exchange(Hex("AB" + std::string(kAnnounce)), 3);
    line.Exchange(Hex(kClose), 3);
  }
  // Each line: seconds with six decimals, a kind, upper-case hex.
  std::istringstream in(ReadFile(o.logPath));
  std::string text;
  double last = 0;
  for (std::string l; std::getline(in, l);) {
    SCOPED_TRACE(l);
    std::istringstream fields(l);
    std::string stamp, kind, hex, more;
    ASSERT_TRUE(fields >> stamp >> kind >> hex);
    EXPECT_FALSE(fields >> more);
    const auto dot = stamp.find('.');
    ASSERT_NE(dot, std::string::npos);
    EXPECT_EQ(stamp.size() - dot - 1, 6u);
    EXPECT_EQ(stamp.find_first_not_of("0123456789."), std::string::npos);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    const double t = std::stod(stamp);
    EXPECT_GE(t, last);
    last = t;
    text += kind + " " + hex + "\n";
  }
  EXPECT_EQ(text, "NOISE AB\nRX 05807F\nTX 06807F\nRX 103B04\nTX 06\nFAULT EEEE\n");
}

TEST(CamsimDialogue, MemoryFileSurvivesARestart) {
  TempDir dir;
  CamsimOptions o;
  o.memoryPath = dir.File("mem.txt");
  {
    auto cam = StartCam(o);
    ASSERT_TRUE(cam);
    // A missing file is created with the default content at start.
    EXPECT_EQ(ReadFile(o.memoryPath).substr(2 * 0xF7, 4), "3412");
    TesterLine line(cam->SlavePath());
    line.Exchange(camsim::CellWriteFrame(1, 0x80, 0xC4), 18);
    // Saved after the write, before the camera has stopped.
    EXPECT_EQ(ReadFile(o.memoryPath).substr(513 + 2 * 0x80, 2), "C4");
  }
  auto cam = StartCam(o);
  ASSERT_TRUE(cam);
  EXPECT_EQ(cam->Cell(1, 0x80), 0xC4);
  TesterLine line(cam->SlavePath());
  EXPECT_EQ(RunRead(line, 1, 0x80), "12C4");

  // A broken memory file stops the start with a message naming it.
  std::ofstream(dir.File("bad.txt")) << "0 F8\n";
  CamsimOptions b;
  b.memoryPath = dir.File("bad.txt");
  std::string err;
  EXPECT_FALSE(Camsim::Start(b, &err));
  EXPECT_NE(err.find("bad.txt:1"), std::string::npos) << err;
}

TEST(CamsimDialogue, LinkPointsToTheLineAndIsRemovedAtTheEnd) {
  TempDir dir;
  CamsimOptions o;
  o.linkPath = dir.File("camera");
  ASSERT_EQ(symlink("/nonexistent/old", o.linkPath.c_str()), 0);  // replaced
  {
    auto cam = StartCam(o);
    ASSERT_TRUE(cam);
    char target[256] = {};
    ASSERT_GT(readlink(o.linkPath.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), cam->SlavePath());
    TesterLine line(o.linkPath);
    ExpectExchange(line, kAnnounce, "06807F");
  }
  struct stat st {};
  EXPECT_NE(lstat(o.linkPath.c_str(), &st), 0);

  // A file that is not a link is never replaced.
  std::ofstream(o.linkPath) << "keep";
  std::string err;
  EXPECT_FALSE(Camsim::Start(o, &err));
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(ReadFile(o.linkPath), "keep");
}

TEST(CamsimDialogue, PacedRepliesTakeTheByteTime) {
  CamsimOptions o;
  o.paced = true;
  auto cam = StartCam(o);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  const double t0 = NowMs();
  EXPECT_EQ(ToHex(line.Exchange(Hex(kSetup), 26)), kSetupReply);
  const double took = NowMs() - t0;
  // 26 bytes at 1.0417 ms: at least 27 ms. Lower bound only.
  EXPECT_GE(took, 26 * 1.0417);
}

// The whole line: the setup frame's 24 byte times pass before the camera
// takes it, and then the 26 of its reply. Lower bound only.
TEST(CamsimDialogue, LineModelAddsTheFramesByteTimeToTheReplys) {
  CamsimOptions o;
  o.line = true;
  auto cam = StartCam(o);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  const double t0 = NowMs();
  EXPECT_EQ(ToHex(line.Exchange(Hex(kSetup), 26)), kSetupReply);
  EXPECT_GE(NowMs() - t0, (24 + 26) * 1.0417);
}

TEST(CamsimDialogue, ThinkTimeComesBeforeEachReply) {
  CamsimOptions o;
  o.thinkMs = 120;
  auto cam = StartCam(o);
  ASSERT_TRUE(cam);
  TesterLine line(cam->SlavePath());
  for (int i = 0; i < 2; ++i) {
    const double t0 = NowMs();
    EXPECT_EQ(ToHex(line.Exchange(Hex(kClose), 1)), "06");
    EXPECT_GE(NowMs() - t0, 120.0);
  }
}

}  // namespace
