#include "testing/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "platform/posix/deadline.h"

extern char** environ;

namespace testsupport {

namespace {

using platform::Deadline;
using std::chrono::milliseconds;

// This process's environment with `changes` made.
std::vector<std::string> ChangedEnvironment(const std::vector<EnvChange>& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view name(*e, std::strcspn(*e, "="));
    if (std::none_of(changes.begin(), changes.end(), [&](auto& c) { return c.first == name; })) {
      env.emplace_back(*e);
    }
  }
  for (const auto& [name, value] : changes) {
    if (value) env.push_back(name + "=" + *value);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> p;
  for (auto& t : texts) p.push_back(t.data());
  p.push_back(nullptr);
  return p;
}

// Appends what `fd` holds now to `text`; closes it at its end.
void Drain(int& fd, std::string& text) {
  char buf[4096];
  ssize_t n = 0;
  while (fd >= 0 && ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))) {
    if (n > 0) text.append(buf, static_cast<std::size_t>(n));
  }
  if (fd >= 0 && (n == 0 || errno != EAGAIN)) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

Process::Process(std::vector<std::string> argv, unsigned pipes, const std::vector<EnvChange>& env) {
  const bool capture = (pipes & kCaptureOutput) != 0, input = (pipes & kFeedInput) != 0;
  int out[2] = {-1, -1}, err[2] = {-1, -1}, in[2] = {-1, -1};
  if (capture && (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)) return;
  if (input && ::pipe2(in, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (capture) {
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  }
  if (input) posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  std::vector<std::string> envText = ChangedEnvironment(env);
  std::vector<char*> args = Pointers(argv), envp = Pointers(envText);
  if (args.size() < 2 ||
      posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  for (int fd : {out[1], err[1], in[0]}) {
    if (fd >= 0) ::close(fd);
  }
  // The parent's ends: output read without blocking, so that Pump takes
  // what there is and goes back to waiting.
  outFd_ = out[0];
  errFd_ = err[0];
  in_ = in[1];
  for (int fd : {outFd_, errFd_}) {
    if (fd >= 0) ::fcntl(fd, F_SETFL, O_NONBLOCK);
  }
}

Process::~Process() {
  if (pid_ > 0 && !ended_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, outFd_, errFd_}) {
    if (fd >= 0) ::close(fd);
  }
}

void Process::Signal(int sig) {
  if (pid_ > 0 && !ended_) ::kill(pid_, sig);
}

void Process::CloseInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

bool Process::Reap(int options) {
  if (ended_ || pid_ <= 0) return ended_;
  int status = 0;
  if (::waitpid(pid_, &status, options) != pid_) return false;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  ended_ = true;
  return true;
}

void Process::Pump(milliseconds wait) {
  pollfd p[2];
  nfds_t n = 0;
  for (int fd : {outFd_, errFd_}) {
    if (fd >= 0) p[n++] = {fd, POLLIN, 0};
  }
  // Output wakes the poll at once; the end is learnt by looking every 10 ms.
  const milliseconds slice = ended_ ? wait : std::min(wait, milliseconds(10));
  ::poll(p, n, static_cast<int>(slice.count()));
  Drain(outFd_, out_);
  Drain(errFd_, err_);
  Reap(WNOHANG);
}

std::string Process::ReadLine(milliseconds timeout) {
  const Deadline deadline = Deadline::InMs(timeout.count());
  for (;;) {
    const auto nl = out_.find('\n', lineAt_);
    if (nl != std::string::npos) {
      std::string line = out_.substr(lineAt_, nl - lineAt_);
      lineAt_ = nl + 1;
      return line;
    }
    if (outFd_ < 0 || deadline.Passed()) return "";
    Pump(milliseconds(deadline.MsLeft()));
  }
}

int Process::Wait(milliseconds timeout) {
  if (pid_ <= 0) return -1;
  const Deadline deadline = Deadline::InMs(timeout.count());
  while (!ended_) {
    if (deadline.Passed()) return -1;
    Pump(milliseconds(deadline.MsLeft()));
  }
  // What it wrote before it ended; a program it started may hold the pipes
  // open longer, and what that one writes later is not waited for.
  Drain(outFd_, out_);
  Drain(errFd_, err_);
  return status_;
}

bool Process::Running() {
  Pump(milliseconds(0));
  return pid_ > 0 && !ended_;
}

int Run(std::vector<std::string> argv, const std::vector<EnvChange>& env, std::string* out,
        std::string* err, milliseconds timeout) {
  Process p(std::move(argv), out != nullptr || err != nullptr ? kCaptureOutput : 0u, env);
  const int status = p.Wait(timeout);
  if (out != nullptr) *out = p.out();
  if (err != nullptr) *err = p.err();
  return status;
}

std::size_t OpenFdCount() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n - 1;  // the descriptor of the listing itself
}

}  // namespace testsupport
