#include "tests/cli/cli_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/common/hex.h"
#include "tools/camsim_memory.h"

extern char** environ;

namespace clitest {

CliProcess::CliProcess(const std::vector<std::string>& args,
                       const std::vector<std::string>& launcher) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<std::string> argvText = launcher;
  argvText.push_back(CORVANE_CLI);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  out_ = out[0];
  err_ = err[0];
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
  if (err_ >= 0) close(err_);
}

void CliProcess::Signal(int sig) {
  if (pid_ > 0) kill(pid_, sig);
}

Ran CliProcess::Wait(int timeoutMs) {
  Ran ran;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int* fds[2] = {&out_, &err_};
  std::string* texts[2] = {&ran.out, &ran.err};
  bool killed = false;
  while (out_ >= 0 || err_ >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0 && !killed) {
      ADD_FAILURE() << "corvane-cli did not end within " << timeoutMs << " ms";
      kill(pid_, SIGKILL);
      killed = true;
    }
    pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (poll(p, 2, left > 0 ? static_cast<int>(left) : 1000) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (*fds[i] < 0 || p[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(*fds[i], buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(*fds[i]);
        *fds[i] = -1;
      }
    }
  }
  int status = 0;
  if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  pid_ = -1;
  return ran;
}

void CliTest::SetUp() {
  char dir[] = "/tmp/corvane-cli-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  dir_ = dir;
  setenv("CORVANE_COM1", Path("com1").c_str(), 1);
  for (int n = 2; n <= 4; ++n) {
    setenv(("CORVANE_COM" + std::to_string(n)).c_str(), Path("absent" + std::to_string(n)).c_str(),
           1);
  }
  setenv("XDG_STATE_HOME", Path("state").c_str(), 1);
  unsetenv("CORVANE_TRACE");
}

void CliTest::TearDown() {
  camera_.reset();
  std::filesystem::remove_all(dir_);
}

camsim::Camsim& CliTest::StartCamera(const camsim::Faults& faults, bool paced) {
  camsim::CamsimOptions options;
  options.linkPath = Path("com1");
  options.faults = faults;
  options.paced = paced;
  std::string error;
  camera_ = camsim::Camsim::Start(options, &error);
  EXPECT_NE(camera_, nullptr) << error;
  return *camera_;
}

std::string CliTest::JournalText() const {
  return ReadFile(Path("state/corvane/journal"));
}

std::vector<std::string> CliTest::Frames(
    const std::function<bool(const std::string&)>& keep) const {
  std::vector<std::string> frames;
  if (!camera_) return frames;
  for (const auto& e : camera_->Log()) {
    if (e.kind != camsim::LogKind::kRx && e.kind != camsim::LogKind::kNoise) continue;
    const std::string hex = testhex::ToHex(e.bytes);
    if (!keep || keep(hex)) frames.push_back(hex);
  }
  return frames;
}

std::vector<std::string> CliTest::WriteFrames() const {
  // 01 80 0E 10 20 4D, then 10 for a write.
  return Frames([](const std::string& hex) { return hex.rfind("01800E10204D10", 0) == 0; });
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> LinesWith(const std::string& text, const std::string& part) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(part) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

int DefaultCode(int page, int address) {
  return camsim::Memory::DefaultCode(page, address);
}

}  // namespace clitest
