// dump and verify: the two formats, the read session and its fall-back, and
// a failed dump that leaves the older file alone.
#include <gtest/gtest.h>

#include <filesystem>

#include "testing/hex.h"
#include "tests/cli/cli_fixture.h"

namespace clitest {
namespace {

using CliDump = CliTest;
using CliSession = CliTest;

// The camera's memory of the page range [first, end) as raw bytes.
std::string Memory(camsim::Camsim& camera, int first, int end) {
  std::string bytes;
  for (int i = first; i < end; ++i) bytes += static_cast<char>(camera.Cell(i / 256, i % 256));
  return bytes;
}

std::size_t SetupFrames(const std::vector<std::string>& frames) {
  std::size_t n = 0;
  for (const auto& f : frames) n += f == testhex::kSetup ? 1 : 0;
  return n;
}

bool HasTemporaryFiles(const std::string& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().find(".tmp-") != std::string::npos) return true;
  }
  return false;
}

TEST_F(CliDump, IntelHexAndRawInOneSessionAndVerifyAgainstBoth) {
  StartCamera();
  Camera().SetCell(1, 0xFF, 0x00);
  Ran ran = Cli({"dump", "-o", Path("both.hex")});
  ASSERT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(LinesWith(ran.err, "512 cells read in ").size(), 1u) << ran.err;
  // One opening, then announce, cell read and close per cell.
  const auto frames = Frames();
  ASSERT_EQ(frames.size(), 3u + 3 * 512);
  EXPECT_EQ(SetupFrames(frames), 1u);
  const std::vector<std::string> firstRound(frames.begin() + 3, frames.begin() + 6);
  EXPECT_EQ(firstRound, (std::vector<std::string>{
                            "05807F", "01800E10204D40000002FFFFFFFFFFFFFFFF31", "103B04"}));
  const std::string hex = ReadFile(Path("both.hex"));
  EXPECT_EQ(LinesWith(hex, ":").size(), 33u);
  EXPECT_EQ(hex.substr(0, 44), ":100000005A5B58595E5F5C5D525350515657545578\n");
  EXPECT_EQ(hex.substr(hex.size() - 56),
            ":1001F000ABAAA9A8AFAEADACA3A2A1A0A7A6A5002B\n:00000001FF\n");

  // Standard output gets the same text; raw is the bytes in address order.
  ran = Cli({"-q", "dump"});
  EXPECT_EQ(ran.out, hex);
  EXPECT_EQ(ran.err, "");
  ran = Cli({"--safe", "dump", "--page", "1", "--format", "raw", "-o", Path("p1.raw")});
  ASSERT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ReadFile(Path("p1.raw")), Memory(Camera(), 256, 512));

  Camera().ClearLog();
  ran = Cli({"--safe", "verify", Path("both.hex")});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "");
  // --safe: one Read transaction per cell.
  EXPECT_EQ(Frames().size(), 8u * 512);

  Camera().SetCell(1, 0x10, 0x77);
  ran = Cli({"verify", "--page", "1", Path("p1.raw")});
  EXPECT_EQ(ran.status, 1) << ran.err;
  EXPECT_EQ(ran.out, "1:10 camera 77 file 4B\n");
  EXPECT_EQ(LinesWith(ran.err, "256 cells compared in").size(), 1u) << ran.err;
}

TEST_F(CliDump, FailedDumpLeavesTheOlderFileAlone) {
  camsim::Faults faults;
  faults.silentAfter = 30;  // the opening and nine rounds
  StartCamera(faults);
  WriteFile(Path("keep.hex"), "the older dump\n");
  const Ran ran = Cli({"dump", "-o", Path("keep.hex")});
  EXPECT_EQ(ran.status, 4) << ran.err;
  EXPECT_EQ(ReadFile(Path("keep.hex")), "the older dump\n");
  EXPECT_FALSE(HasTemporaryFiles(Path("")));
  EXPECT_EQ(
      LinesWith(ran.err, "the dump was not written (" + Path("keep.hex") + " is left as it was)")
          .size(),
      1u)
      << ran.err;
}

// The camera was read, but standard output did not take the dump: the
// status says the camera was used and the dump is lost (5), not done.
TEST_F(CliDump, ADumpThatStandardOutputRefusesExitsFive) {
  StartCamera();
  const std::string err = Path("err");
  EXPECT_EQ(testsupport::Run(
                {"/bin/sh", "-c", std::string(CORVANE_CLI) + " dump >/dev/full 2>" + err}, Env()),
            5);
  EXPECT_EQ(Frames().size(), 3u + 3 * 512);
  EXPECT_EQ(LinesWith(ReadFile(err), "cannot write the dump to standard output").size(), 1u)
      << ReadFile(err);
}

TEST_F(CliSession, EndsOnATimeOutAndReadsTheRestOneTransactionEach) {
  camsim::Faults faults;
  faults.sessionRounds = 10;
  StartCamera(faults);
  const Ran ran = Cli(
      {"--trace=" + Path("trace"), "dump", "--page", "0", "--format", "raw", "-o", Path("p0.raw")});
  ASSERT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ReadFile(Path("p0.raw")), Memory(Camera(), 0, 256));
  EXPECT_EQ(LinesWith(ran.err, "256 cells read in").size(), 1u) << ran.err;
  EXPECT_EQ(LinesWith(ran.err,
                      "the read session stopped answering at 0:0A, so 246 cells were "
                      "read one Read transaction each")
                .size(),
            1u)
      << ran.err;
  // The note stands in the trace's own stream, among the bytes it explains.
  const std::string trace = ReadFile(Path("trace"));
  const auto note = trace.find("\n# corvane-cli: the read session stopped answering at cell 0:0A");
  ASSERT_NE(note, std::string::npos) << trace;
  EXPECT_NE(trace.rfind(" TX 05 80 7F\n", note), std::string::npos);
  EXPECT_NE(trace.find(" TX 05 80 7F\n", note), std::string::npos);
  // The session's opening, then one Read transaction for each later cell.
  EXPECT_EQ(SetupFrames(Frames()), 1u + 246);
  // The time-out ended the session without a box.
  EXPECT_EQ(LinesWith(ran.err, "Application Error").size(), 0u) << ran.err;
}

}  // namespace
}  // namespace clitest
