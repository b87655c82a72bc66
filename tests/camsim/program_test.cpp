// corvane-camsim as a program: the first line of its output, the link, the
// log, a clean end on SIGTERM and SIGINT, the come-back line, usage errors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "tests/camsim/tester_line.h"

extern char** environ;

namespace {

using camsim_test::Hex;
using camsim_test::NowMs;
using camsim_test::ReadFile;
using camsim_test::TempDir;
using camsim_test::TesterLine;
using camsim_test::ToHex;

// The program running with its standard output on a pipe; killed and reaped
// if a test leaves early.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    args.insert(args.begin(), CAMSIM_PROGRAM);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    out_ = fds[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, CAMSIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // One line of standard output, without its newline; empty on time-out or
  // end of output.
  std::string ReadLine(int timeoutMs) {
    const double end = NowMs() + timeoutMs;
    for (;;) {
      const auto nl = buffered_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffered_.substr(0, nl);
        buffered_.erase(0, nl + 1);
        return line;
      }
      const double left = end - NowMs();
      pollfd p{out_, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, static_cast<int>(left) + 1) <= 0) return "";
      char buf[256];
      const ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) return "";
      buffered_.append(buf, static_cast<std::size_t>(n));
    }
  }

  // Sends sig and waits (up to 10 s) for the exit; returns the wait status
  // or -1.
  int StopWith(int sig) {
    kill(pid_, sig);
    return Wait(10'000);
  }

  int Wait(int timeoutMs) {
    const double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      usleep(10'000);
    }
    return -1;
  }

  bool Started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffered_;
};

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(CamsimProgram, PrintsTheLineFirstServesItAndEndsOnSigterm) {
  TempDir dir;
  const std::string link = dir.File("camera");
  const std::string log = dir.File("cam.log");
  Program prog({"--link", link, "--log", log, "--extra", "1:AA@2"});
  ASSERT_TRUE(prog.Started());
  const std::string path = prog.ReadLine(10'000);
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  ASSERT_TRUE(IsLink(link));
  {
    TesterLine line(path);
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kAnnounce), 3)), "06807F");
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kClose), 2)), "06AA");
  }
  const int status = prog.StopWith(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(IsLink(link));
  const std::string text = ReadFile(log);
  EXPECT_NE(text.find(" RX 05807F\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" TX 06807F\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" FAULT AA\n"), std::string::npos) << text;
}

TEST(CamsimProgram, EndsCleanlyOnSigintAndPrintsTheLineItComesBackOn) {
  TempDir dir;
  const std::string link = dir.File("camera");
  Program prog({"--link", link, "--hangup-after", "1", "--return-after", "100"});
  ASSERT_TRUE(prog.Started());
  const std::string first = prog.ReadLine(10'000);
  ASSERT_FALSE(first.empty());
  {
    TesterLine line(link);
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kAnnounce), 3)), "06807F");
  }
  const std::string second = prog.ReadLine(10'000);
  ASSERT_EQ(second.rfind("/dev/pts/", 0), 0u) << second;
  {
    TesterLine line(link);
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(ToHex(line.Exchange(Hex(testhex::kAnnounce), 3)), "06807F");
  }
  const int status = prog.StopWith(SIGINT);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(IsLink(link));
}

TEST(CamsimProgram, HelpAndUsageErrors) {
  Program help({"--help"});
  EXPECT_EQ(help.ReadLine(10'000).rfind("Usage: corvane-camsim", 0), 0u);
  int status = help.Wait(10'000);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  Program bad({"--pause", "12"});
  EXPECT_EQ(bad.ReadLine(10'000), "");  // nothing on standard output
  status = bad.Wait(10'000);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);

  TempDir dir;
  Program cannot({"--log", dir.File("no/such/dir/cam.log")});
  status = cannot.Wait(10'000);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
