// read and write, and the exit statuses of bad input, of no port and of a
// camera that does not answer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/cli/cli_fixture.h"

namespace clitest {
namespace {

using CliReadWrite = CliTest;
using CliBadInput = CliTest;
using CliNoPort = CliTest;
using CliNoAnswer = CliTest;

// A device path that no COM name maps to is opened by its path: the
// journal names no port for it, and the trace names it by its path.
TEST_F(CliReadWrite, APathThatNoComNameMapsToIsOpenedAsItIs) {
  StartCamera();
  SetEnv("CORVANE_COM1", Path("absent1"));
  const Ran ran = Cli({"--port", Path("com1"), "--trace=" + Path("trace"), "write", "0:F7=5A"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "0:F7 34 -> 5A\n");
  EXPECT_EQ(LinesWith(JournalText(), " #1 write - " + Path("com1") + " 0:F7 34 -> 5A ").size(), 2u)
      << JournalText();
  EXPECT_EQ(LinesWith(ReadFile(Path("trace")), std::string(" ") + Path("com1") + " OPEN ").size(),
            1u);
}

TEST_F(CliReadWrite, ReadPrintsCodesAndWriteReadsOldWritesAndReadsBack) {
  StartCamera();
  Ran ran = Cli({"read", "0:F7", "0:f8", "1:7"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "0:F7 34\n0:F8 12\n1:07 5C\n");
  ran = Cli({"--port", Path("com1"), "read", "1:FF"});
  EXPECT_EQ(ran.out, "1:FF A4\n") << ran.err;

  ran = Cli({"write", "0:F7=5a", "1:0=7"});
  EXPECT_EQ(ran.status, 0) << ran.err;
  EXPECT_EQ(ran.out, "0:F7 34 -> 5A\n1:00 5B -> 07\n");
  EXPECT_EQ(Camera().Cell(0, 0xF7), 0x5A);
  EXPECT_EQ(Camera().Cell(1, 0x00), 0x07);
  // Four reads, and per write a read and a write: whole transactions of
  // eight frames each.
  EXPECT_EQ(Frames().size(), 8u * 8);

  // Each write is journalled before its frame goes out and after its outcome.
  const std::string journal = JournalText();
  const auto first = LinesWith(journal, " #1 write COM1 " + Path("com1") + " 0:F7 34 -> 5A ");
  ASSERT_EQ(first.size(), 2u) << journal;
  EXPECT_NE(first[0].find(" sending"), std::string::npos);
  EXPECT_NE(first[1].find(" done, read back 5A"), std::string::npos);
  EXPECT_EQ(LinesWith(journal, " #2 write COM1 ").size(), 2u) << journal;

  // Codes read that do not reach standard output: the camera was used, the
  // results are lost (5).
  EXPECT_EQ(
      testsupport::Run({"/bin/sh", "-c", CORVANE_CLI " read 0:F7 >/dev/full 2>/dev/null"}, Env()),
      5);
}

TEST_F(CliBadInput, ExitsTwoWithAMessageAndSendsNothing) {
  StartCamera();
  WriteFile(Path("bad-sum.hex"),
            ":100000005A5B58595E5F5C5D525350515657545578\n"
            ":10001000000000000000000000000000000000000F\n"
            ":00000001FF\n");
  WriteFile(Path("beyond.hex"), ":0102000011EC\n:00000001FF\n");
  WriteFile(Path("short.raw"), std::string(300, '\x01'));
  WriteFile(Path("no-end.hex"), ":0100000011EE\n");
  std::filesystem::create_directory(Path("folder"));
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"read", "2:00"}, "bad cell \"2:00\""},
      {{"read", "0:123"}, "bad cell"},
      {{"read", "0:G0"}, "bad cell"},
      {{"read", "0F7"}, "bad cell"},
      {{"write", "0:F7"}, "expected CELL=CODE"},
      {{"write", "0:F7=100"}, "bad code \"100\""},
      {{"write", "0:F7=5A", "0:F8=x"}, "bad code \"x\""},
      {{"--port", "COM5", "read", "0:00"}, "bad port \"COM5\""},
      {{"dump", "--page", "2"}, "--page"},
      {{"dump", "--format", "srec"}, "--format"},
      {{"dump", "-o", Path("no/such/dir/dump.hex")}, "cannot make a temporary file"},
      {{"dump", "-o", Path("folder")}, "folder: it is a directory; nothing was sent"},
      {{"dump", "-o", Path("folder/")}, "it is a directory"},
      {{"verify", Path("bad-sum.hex")}, "bad-sum.hex: line 2: bad checksum"},
      {{"restore", Path("beyond.hex")}, "line 1: address 0x0200 is beyond page 1"},
      {{"restore", Path("no-end.hex")}, "line 2: the file ends without an end-of-file record"},
      {{"verify", Path("short.raw")}, "a raw dump holds 512 bytes"},
      {{"verify", Path("missing.hex")}, "cannot open"},
      {{"undo"}, "no journalled write left to undo"},
      {{"undo", "0"}, "N"},
      {{"frobnicate"}, "subcommand"},
      {{}, "subcommand"},
  };
  for (const Case& c : cases) {
    const Ran ran = Cli(c.args);
    std::string args;
    for (const auto& a : c.args) args += a + " ";
    EXPECT_EQ(ran.status, 2) << args << "\n" << ran.err;
    EXPECT_NE(ran.err.find(c.says), std::string::npos) << args << "\n" << ran.err;
    EXPECT_EQ(ran.out, "") << args;
  }
  EXPECT_EQ(Frames().size(), 0u);
}

TEST_F(CliNoPort, ExitsThreeAndSaysWhyForEachPort) {
  Ran ran = Cli({"read", "0:00"});
  EXPECT_EQ(ran.status, 3);
  EXPECT_NE(ran.err.find("no port could be opened"), std::string::npos) << ran.err;
  for (int n = 1; n <= 4; ++n) {
    const std::string path = Path(n == 1 ? "com1" : "absent" + std::to_string(n));
    EXPECT_EQ(LinesWith(ran.err, "COM" + std::to_string(n) + " (" + path + "): ").size(), 1u)
        << ran.err;
  }
  EXPECT_EQ(LinesWith(ran.err, "does not exist").size(), 4u) << ran.err;

  ran = Cli({"--port", Path("no-such-tty"), "dump"});
  EXPECT_EQ(ran.status, 3);
  EXPECT_EQ(LinesWith(ran.err, "  " + Path("no-such-tty") + ": does not exist").size(), 1u)
      << ran.err;
  EXPECT_EQ(ran.out, "");
}

// A dump target that cannot be made is refused before a port is opened:
// with no camera on the line that is bad input (2), not a port that did not
// open (3).
TEST_F(CliNoPort, ABadDumpTargetIsRefusedBeforeAnyPortIsOpened) {
  std::filesystem::create_directory(Path("folder"));
  for (const std::string& target : {Path("folder"), Path("no/such/dir/dump.hex")}) {
    const Ran ran = Cli({"dump", "-o", target});
    EXPECT_EQ(ran.status, 2) << target << "\n" << ran.err;
    EXPECT_EQ(LinesWith(ran.err, "no port could be opened").size(), 0u) << ran.err;
  }
}

// A time-out is one line in the command's words, not the error box's text
// and then the command's own.
TEST_F(CliNoAnswer, ExitsFourWithOneLine) {
  camsim::Faults silent;
  silent.silent = true;
  StartCamera(silent);
  const Ran ran = Cli({"--port", "COM1", "read", "0:F7"});
  EXPECT_EQ(ran.status, 4);
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(ran.err,
            "corvane-cli: the camera did not answer when reading 0:F7 (no reply within 2 s; "
            "check the connection between port and camera)\n");
  // The time-out ended the transaction at its first frame.
  EXPECT_EQ(Frames().size(), 1u);
}

}  // namespace
}  // namespace clitest
