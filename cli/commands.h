// The commands of corvane-cli, one function each with the global options
// and its own (cli/options.h). Each that talks to the camera makes ready
// what it needs through Prepare (cli/prepare.h), which checks all of its
// input before it opens the port, so that bad input sends nothing; each
// returns the exit status (cli/output.h). Results go to standard output;
// messages, the progress bar and the summary to standard error. Main
// thread only.
#pragma once

#include "cli/options.h"
#include "cli/output.h"

namespace cli {

// The COM map (COM1 to COM4 always) and every serial device found, one
// line each: COM name, path, by-id name, driver, USB vendor:product,
// manufacturer and product, and the state with its reason, last. The state
// comes from the device's node, its mode and its locks, without opening it
// (an open toggles the modem lines); with --probe each device is opened for
// a moment, as the dialog's probe does. Sends nothing. (cli/ports.cpp)
int RunPorts(const CommonOptions& common, const PortsOptions& options);

// (cli/commands.cpp)
int RunRead(const CommonOptions& common, const ReadOptions& options);
int RunWrite(const CommonOptions& common, const WriteOptions& options);
int RunDump(const CommonOptions& common, const DumpOptions& options);
int RunVerify(const CommonOptions& common, const FileOptions& options);
int RunRestore(const CommonOptions& common, const RestoreOptions& options);

// (cli/undo.cpp)
int RunUndo(const CommonOptions& common, const UndoOptions& options);

}  // namespace cli
