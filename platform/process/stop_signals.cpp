#include "platform/process/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <system_error>
#include <vector>

#include "platform/posix/diagnostics.h"

namespace platform {
namespace {

// The files that the immediate end removes. Process-wide because the end
// is: FileReplacement objects register their temporary files from wherever
// they are made, and the watcher thread removes them.
struct AbortFiles {
  std::mutex mu;
  std::vector<std::string> paths;
};

AbortFiles& Files() {
  // Never destroyed: the watcher may use it while static objects go away.
  static AbortFiles* files = new AbortFiles;
  return *files;
}

sigset_t StopSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

std::string StopSignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(signal);
  }
}

StopSignals::StopSignals(std::string stopping, Request request)
    : stopping_(std::move(stopping)), request_(std::move(request)) {
  SetUp();
}

void StopSignals::SetUp() {
  const sigset_t set = StopSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::string failed;
  signals_.Reset(::signalfd(-1, &set, SFD_CLOEXEC));
  if (!signals_.valid()) failed = "signalfd: " + std::string(std::strerror(errno));
  if (failed.empty()) {
    stop_.Reset(::eventfd(0, EFD_CLOEXEC));
    if (!stop_.valid()) failed = "eventfd: " + std::string(std::strerror(errno));
  }
  if (failed.empty()) {
    try {
      watcher_ = std::thread([this] { Watch(); });
    } catch (const std::system_error& e) {
      failed = std::string("the watcher thread: ") + e.what();
    }
  }
  if (failed.empty()) return;
  Diagnose("cannot watch SIGINT, SIGTERM and SIGHUP (" + failed +
           "); they end the program at once");
  signals_.Reset();
  stop_.Reset();
  // A signal that came meanwhile is delivered here and ends the process,
  // as it would have without this object.
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopSignals::~StopSignals() {
  if (!watcher_.joinable()) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(stop_.get(), &one, sizeof one);
  watcher_.join();
}

void StopSignals::Watch() {
  for (;;) {
    pollfd fds[2] = {{signals_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    signalfd_siginfo info{};
    if (::read(signals_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    const int signal = static_cast<int>(info.ssi_signo);
    int none = 0;
    if (received_.compare_exchange_strong(none, signal)) {
      Diagnose("interrupted (" + StopSignalName(signal) + "); " + stopping_ +
               "; a second signal stops at once");
      if (request_) request_(signal);
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(Files().mu);
      for (const std::string& path : Files().paths) ::unlink(path.c_str());
    }
    Diagnose("stopped at once (" + StopSignalName(signal) + ")");
    // Ending the process closes the port's descriptor, which releases its
    // lock; a journal holds every record up to here on disk.
    ::_exit(128 + signal);
  }
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

}  // namespace platform
