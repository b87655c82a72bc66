// The commands of corvane-cli. Each checks all of its input before it opens
// the port, so that bad input sends nothing, and returns the exit status.
// Results go to standard output; messages, the progress bar and the summary
// to standard error. Main thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/dumpfile.h"
#include "platform/stop_signals.h"

namespace cli {

enum ExitStatus : int {
  kExitDone = 0,
  kExitDiffers = 1,   // a read-back, comparison or verification found a difference
  kExitBadInput = 2,  // bad usage or input; nothing was sent
  kExitNoPort = 3,    // no port could be opened
  kExitNoAnswer = 4,  // the camera did not answer
  // The camera was used, then a local failure: the journal, the output file
  // or standard output could not be written. What reached the camera is
  // journalled or reported.
  kExitLocalFailure = 5,
  // 128 + N: stopped by signal N (SIGINT, SIGTERM, SIGHUP) after the
  // transaction that ran (StopSignals::ExitStatus).
};

// Everything the command line can give; each command uses its part.
struct Options {
  // The process's stop signals: once one has come, a command stops after
  // the transaction that runs. Null: never.
  const platform::StopSignals* stop = nullptr;
  // Global.
  std::string port;  // empty: the lowest COMn that opens
  bool quiet = false;
  bool safe = false;
  std::string journal;  // empty: the default place
  // Commands.
  std::vector<std::string> args;  // read: CELL...; write: CELL=CODE...
  std::string file;               // verify, restore
  std::string output;             // dump -o; empty or "-": standard output
  std::optional<int> page;        // dump, verify, restore
  std::optional<Format> format;   // dump (default Intel HEX); verify, restore (default: detected)
  bool dryRun = false;            // restore
  int count = 1;                  // undo
  bool force = false;             // undo: write whatever the cell holds
  bool probe = false;             // ports: open each device to learn its state
};

// The COM map (COM1 to COM4 always) and every serial device found, one
// line each: COM name, path, by-id name, driver, USB vendor:product,
// manufacturer and product, and the state with its reason, last. The state
// comes from the device's node, its mode and its locks, without opening it
// (an open toggles the modem lines); with --probe each device is opened for
// a moment, as the dialog's probe does. Sends nothing.
int RunPorts(const Options& options);
int RunRead(const Options& options);
int RunWrite(const Options& options);
int RunDump(const Options& options);
int RunVerify(const Options& options);
int RunRestore(const Options& options);
int RunUndo(const Options& options);

}  // namespace cli
