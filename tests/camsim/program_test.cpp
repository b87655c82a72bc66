// corvane-camsim as a program: the first line of its output, the link, the
// log, a clean end on SIGTERM and SIGINT, the come-back line, usage errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "testing/process.h"
#include "tests/camsim/tester_line.h"

namespace {

using camsim_test::Hex;
using camsim_test::ReadFile;
using camsim_test::TempDir;
using camsim_test::TesterLine;
using camsim_test::ToHex;

// The program with its standard output and error on pipes; killed and
// reaped if a test leaves early.
testsupport::Process Program(std::vector<std::string> args) {
  args.insert(args.begin(), CAMSIM_PROGRAM);
  return testsupport::Process(std::move(args), testsupport::kCaptureOutput);
}

// Sends sig and waits (up to 10 s) for the end; gives the exit status or -1.
int StopWith(testsupport::Process& program, int sig) {
  program.Signal(sig);
  return program.Wait(std::chrono::seconds(10));
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(CamsimProgram, PrintsTheLineFirstServesItAndEndsOnSigterm) {
  TempDir dir;
  const std::string link = dir.File("camera");
  const std::string log = dir.File("cam.log");
  testsupport::Process prog = Program({"--link", link, "--log", log, "--extra", "1:AA@2"});
  ASSERT_TRUE(prog.started());
  const std::string path = prog.ReadLine();
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  ASSERT_TRUE(IsLink(link));
  {
    TesterLine line(path);
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kAnnounce), 3)), "06807F");
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kClose), 2)), "06AA");
  }
  EXPECT_EQ(StopWith(prog, SIGTERM), 0);
  EXPECT_FALSE(IsLink(link));
  const std::string text = ReadFile(log);
  EXPECT_NE(text.find(" RX 05807F\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" TX 06807F\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" FAULT AA\n"), std::string::npos) << text;
}

TEST(CamsimProgram, EndsCleanlyOnSigintAndPrintsTheLineItComesBackOn) {
  TempDir dir;
  const std::string link = dir.File("camera");
  testsupport::Process prog =
      Program({"--link", link, "--hangup-after", "1", "--return-after", "100"});
  ASSERT_TRUE(prog.started());
  const std::string first = prog.ReadLine();
  ASSERT_FALSE(first.empty());
  {
    TesterLine line(link);
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kAnnounce), 3)), "06807F");
  }
  const std::string second = prog.ReadLine();
  ASSERT_EQ(second.rfind("/dev/pts/", 0), 0u) << second;
  {
    TesterLine line(link);
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kAnnounce), 3)), "06807F");
  }
  EXPECT_EQ(StopWith(prog, SIGINT), 0);
  EXPECT_FALSE(IsLink(link));
}

TEST(CamsimProgram, HelpAndUsageErrors) {
  testsupport::Process help = Program({"--help"});
  EXPECT_EQ(help.ReadLine().rfind("Usage: corvane-camsim", 0), 0u);
  EXPECT_EQ(help.Wait(std::chrono::seconds(10)), 0);

  testsupport::Process bad = Program({"--pause", "12"});
  EXPECT_EQ(bad.ReadLine(), "");  // nothing on standard output
  EXPECT_EQ(bad.Wait(std::chrono::seconds(10)), 2);

  TempDir dir;
  testsupport::Process cannot = Program({"--log", dir.File("no/such/dir/cam.log")});
  EXPECT_EQ(cannot.Wait(std::chrono::seconds(10)), 1);
}

}  // namespace
