// SIGINT, SIGTERM and SIGHUP (Ctrl-C, a logout or `timeout`, a terminal that
// was closed) as requests to stop in good order. The first of them asks the
// program to stop: it names the signal in one line through the diagnostics
// hook (diagnostics.h; the programs print it on standard error) and tells
// the program, which finishes what runs (a camera transaction is never
// cut in half) and ends by itself. A second one ends the process at once
// with status 128 + its number, after removing the files registered with
// RemoveOnAbort; closing its descriptors then releases a port and its lock.
// Plain POSIX (signalfd, eventfd, a thread): both programs use it, the
// command-line tool without the window layer.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/posix/fd.h"

namespace platform {

// Takes the three signals for the whole process while it exists. Construct
// it first in main, before any other thread exists: it blocks the signals
// in the calling thread, every thread started later inherits that, and its
// own watcher thread takes them. One at a time. A signal that the process
// ignores (nohup, a background job of a shell) stays ignored.
class StopSignals {
 public:
  // Called once, on the watcher thread, with the first signal's number,
  // after Received() gives it. It must return soon; it must not destroy
  // this object.
  using Request = std::function<void(int signal)>;

  // stopping says what the program does now, as in "finishing the
  // transaction that runs": the first signal's line is "interrupted
  // (SIGINT); <stopping>; a second signal stops at once", the second's
  // "stopped at once (SIGINT)". When the watcher cannot be set up
  // (signalfd, eventfd, the thread), it says so in one line, unblocks the
  // signals again and leaves them their default action (the process ends at
  // once). The lines go through the diagnostics hook, the second's right
  // before the process ends: its handler must not wait for a lock that
  // another thread may hold (write(2), not stdio).
  explicit StopSignals(std::string stopping, Request request = {});
  // Ends the watcher. The signals stay blocked: one that comes between here
  // and the end of the process is lost, and the process ends as it was
  // about to.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The first signal's number; 0 before any came. Any thread.
  int Received() const { return received_.load(); }
  // The exit status that tells the signal: 128 + its number (130 SIGINT,
  // 143 SIGTERM, 129 SIGHUP). Only once Received() is not 0.
  int ExitStatus() const { return 128 + Received(); }

 private:
  void SetUp();
  void Watch();

  const std::string stopping_;
  const Request request_;
  std::atomic<int> received_{0};
  UniqueFd signals_, stop_;
  std::thread watcher_;
};

// "SIGINT", "SIGTERM", "SIGHUP", or "signal N".
std::string StopSignalName(int signal);

// Registers path, for its lifetime, as a file that the immediate end on a
// second signal removes (an unfinished temporary file). The register is
// process-wide (the end takes the whole process), guarded by a lock; any
// thread.
class RemoveOnAbort {
 public:
  explicit RemoveOnAbort(std::string path);
  ~RemoveOnAbort();
  RemoveOnAbort(const RemoveOnAbort&) = delete;
  RemoveOnAbort& operator=(const RemoveOnAbort&) = delete;

 private:
  std::string path_;
};

}  // namespace platform
