// What a command of corvane-cli tells, and where: results on standard
// output, messages and the summary on standard error, and its exit status.
// Main thread only.
#pragma once

#include <cstddef>
#include <string>

namespace cli {

enum ExitStatus : int {
  kExitDone = 0,
  kExitDiffers = 1,   // a read-back, comparison or verification found a difference
  kExitBadInput = 2,  // bad usage or input; nothing was sent
  kExitNoPort = 3,    // no port could be opened, or its line could not be set up
  kExitNoAnswer = 4,  // the camera did not answer (or the port failed during a transaction)
  // The camera was used, then a local failure: the journal, the output file
  // or standard output could not be written. What reached the camera is
  // journalled or reported.
  kExitLocalFailure = 5,
  // 128 + N: stopped by signal N (SIGINT, SIGTERM, SIGHUP) after the
  // transaction that ran (StopSignals::ExitStatus).
};

// "corvane-cli: <text>" as one line on standard error.
void Error(const std::string& text);

// A result line on standard output, flushed at once for pipes and scripts.
void Result(const std::string& line);

// The summary line on standard error, unless quiet.
void Summary(bool quiet, const std::string& text);

// "1 cell", "2 cells".
std::string Plural(std::size_t n, const char* one, const char* many);

}  // namespace cli
