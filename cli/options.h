// The options of corvane-cli's commands, as the command line gives them:
// the global ones, which every command may use and which stand before or
// after the command, and one struct per command (verify's FileOptions are
// also restore's). main.cpp binds them to the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backup/dumpfile.h"
#include "platform/process/stop_signals.h"

namespace cli {

using backup::Format;

struct CommonOptions {
  // The process's stop signals: once one has come, a command stops after
  // the transaction that runs. Null: never.
  const platform::StopSignals* stop = nullptr;
  std::string port;     // --port: empty for the lowest COMn that opens
  bool quiet = false;   // --quiet: no progress bar, no summary
  bool safe = false;    // --safe: full Read transactions, no read session
  std::string journal;  // --journal: empty for defaultJournal
  // The journal's place when --journal is not given, from the environment
  // (main): "" when it names none.
  std::string defaultJournal;

  // Whether a stop signal has come.
  bool Stopped() const { return stop != nullptr && stop->Received() != 0; }
  // The exit status of a command that a stop signal ended (once Stopped).
  int StopStatus() const { return stop->ExitStatus(); }
};

struct PortsOptions {
  bool probe = false;  // open each device to learn its state
};

struct ReadOptions {
  std::vector<std::string> cells;  // CELL...
};

struct WriteOptions {
  std::vector<std::string> writes;  // CELL=CODE...
};

struct DumpOptions {
  std::optional<int> page;
  std::string output;            // empty or "-": standard output
  std::optional<Format> format;  // default Intel HEX
};

// A dump file to compare with or restore from.
struct FileOptions {
  std::string file;
  std::optional<int> page;
  std::optional<Format> format;  // default: told by the content
};

struct RestoreOptions {
  FileOptions from;
  bool dryRun = false;
};

struct UndoOptions {
  int count = 1;       // N
  bool force = false;  // write whatever the cell holds
};

}  // namespace cli
