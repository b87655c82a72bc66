// Another program run by a test: spawned with its arguments and an
// optional change of its environment, its output captured, waited for with
// a deadline, and never left behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "testing/env.h"

namespace testsupport {

// Which of the program's standard streams are pipes to this process
// (flags); the others are this process's own.
enum Pipes : unsigned {
  kCaptureOutput = 1,  // standard output and error, read by ReadLine and Wait
  kFeedInput = 2,      // standard input, open until CloseInput (or the end)
};

// A running program: argv[0] is its path, or a name without a slash to be
// found in PATH; `env` changes the environment for the program alone (this
// process's own is left as it is). The destructor kills (SIGKILL) and reaps
// the program if it still runs. One thread uses an object at a time.
class Process {
 public:
  explicit Process(std::vector<std::string> argv, unsigned pipes = 0,
                   const std::vector<EnvChange>& env = {});
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // FALSE when the program could not be started (Wait gives -1 then).
  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  void Signal(int sig);
  // Ends standard input (a program reading it to its end goes on).
  void CloseInput();

  // The next line of standard output without its newline, waiting up to
  // `timeout`; empty on time-out or at the end of the output.
  std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // Waits up to `timeout` for the program to end, collecting what it writes;
  // gives its exit status (0 to 255, or 128 + the signal that ended it), or
  // -1 when it has not ended (it then still runs) or never started.
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(120));
  // Whether the program still runs (it is reaped when it has ended).
  bool Running();

  // What the program wrote so far to standard output and standard error
  // (with capture; complete once Wait has seen the end).
  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  bool Reap(int options);
  // Reads what the pipes hold; waits up to `wait` for something to happen
  // (output, or the program's end).
  void Pump(std::chrono::milliseconds wait);

  pid_t pid_ = -1;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  bool ended_ = false;
  int status_ = -1;
  std::string out_, err_;
  std::size_t lineAt_ = 0;  // where the next ReadLine starts in out_
};

// Runs a program to its end (killed after `timeout`) and gives its exit
// status as Process::Wait does; its standard output and error are captured
// into out and err when given.
int Run(std::vector<std::string> argv, const std::vector<EnvChange>& env = {},
        std::string* out = nullptr, std::string* err = nullptr,
        std::chrono::milliseconds timeout = std::chrono::seconds(120));

// The number of open descriptors of this process.
std::size_t OpenFdCount();

}  // namespace testsupport
