#include "cli/interrupt.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace cli {
namespace {

std::atomic<bool> g_interrupted{false};

struct AbortFiles {
  std::mutex mu;
  std::vector<std::string> paths;
};

AbortFiles& Files() {
  static AbortFiles* files = new AbortFiles;
  return *files;
}

// A line on standard error; on a terminal it first clears the line, which
// may hold the progress bar (drawn again at its next update).
void Say(const char* text) {
  std::string line = ::isatty(STDERR_FILENO) == 1 ? "\r\033[K" : "";
  line += text;
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
}

sigset_t InterruptSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

InterruptWatch::InterruptWatch() {
  const sigset_t set = InterruptSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signals_.Reset(::signalfd(-1, &set, SFD_CLOEXEC));
  stop_.Reset(::eventfd(0, EFD_CLOEXEC));
  watcher_ = std::thread([this] { Watch(); });
}

InterruptWatch::~InterruptWatch() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(stop_.get(), &one, sizeof one);
  watcher_.join();
}

void InterruptWatch::Watch() {
  for (;;) {
    pollfd fds[2] = {{signals_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    signalfd_siginfo info{};
    if (::read(signals_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    if (!g_interrupted.exchange(true)) {
      Say("corvane-cli: interrupted; finishing the transaction that runs (Ctrl-C again to stop "
          "at once)\n");
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(Files().mu);
      for (const std::string& path : Files().paths) ::unlink(path.c_str());
    }
    Say("corvane-cli: stopped at once\n");
    // Ending the process closes the port's descriptor, which releases its
    // lock; the journal holds every record up to here on disk.
    ::_exit(130);
  }
}

bool Interrupted() {
  return g_interrupted.load();
}

RemoveOnAbort::RemoveOnAbort(std::string path) : path_(std::move(path)) {
  std::lock_guard<std::mutex> lock(Files().mu);
  Files().paths.push_back(path_);
}

RemoveOnAbort::~RemoveOnAbort() {
  std::lock_guard<std::mutex> lock(Files().mu);
  auto& paths = Files().paths;
  for (auto it = paths.begin(); it != paths.end(); ++it) {
    if (*it == path_) {
      paths.erase(it);
      break;
    }
  }
}

}  // namespace cli
