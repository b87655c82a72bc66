// The line to the camera as the command-line tool uses it: choosing and
// opening the port, the monitor thread, and the camera transactions of the
// engine (CCommPort). The engine reports its failures to the link's
// FailureLog (cli/failures.h); each transaction takes those met during it
// and hands them to the command as a Trouble, typed. Main thread only; one
// object at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "backup/cells.h"
#include "cli/failures.h"
#include "port/CommPort.h"

namespace cli {

using backup::Cell;

// What --port names: a COM number (1 to 4, through the COM device map), a
// device path, or nothing (the lowest COMn whose port opens).
struct PortChoice {
  int com = 0;       // 1..4, or 0
  std::string path;  // a device path, or empty
};

// "COM1" to "COM4" (either case) or a text with a '/' (a device path).
// Anything else: nothing, with *error.
std::optional<PortChoice> ParsePortChoice(const std::string& text, std::string* error);

class CameraLink {
 public:
  // Opens the chosen port with the dialog's line settings and starts the
  // monitor thread. Without a choice it tries COM1 to COM4 and takes the
  // first that opens, which is the port the dialog's probe selects. A path
  // that a COM name maps to is opened under that name; any other path is
  // opened as it is. Null when no port could be opened, with *error saying
  // for each port tried why, one line "COM1 (/dev/ttyUSB0): <reason>" in
  // the words of the port listing (platform/devices/port_state.h), as the failed
  // open itself told it; or when the port opened but its line could not be
  // set up, with *error the one line of that Trouble.
  static std::unique_ptr<CameraLink> Open(const PortChoice& choice, std::string* error);

  // Ends the monitor thread and closes the port (which releases its lock).
  // A failure of the port met after the last transaction is said in one
  // line.
  ~CameraLink();
  CameraLink(const CameraLink&) = delete;
  CameraLink& operator=(const CameraLink&) = delete;

  // "COM1", or empty for a port named by its path.
  const std::string& port() const { return port_; }
  // The device the port opened.
  const std::string& path() const { return path_; }
  // "COM1 (/dev/ttyS0)", or the path alone.
  std::string Label() const;

  // One Read transaction: the cell's code; nothing when it went unanswered,
  // with *trouble (step kRead) saying why. A failure of the port in a
  // transaction that was answered all the same is said here in one line.
  std::optional<int> Read(Cell cell, Trouble* trouble);
  // One Write transaction: the code read back; nothing when it failed, with
  // *trouble (step kWrite), whose outcome says how far the write got.
  std::optional<int> Write(Cell cell, int code, Trouble* trouble);

  // The read session of the engine (see CCommPort::BeginReadSession): true
  // when it opened; false, with *trouble (step kSessionRound, at cell), when
  // a step went unanswered.
  bool BeginSession(Cell cell, Trouble* trouble);
  // One round: true with *code when every step was answered; false when the
  // session has ended, with *trouble, *code then set when the cell's read
  // was answered before the time-out.
  bool SessionRead(Cell cell, std::optional<int>* code, Trouble* trouble);

 private:
  CameraLink() = default;
  // Opens COMn (com > 0) or the device at path_ (com 0) with the line.
  int TryOpen(int com);
  // The Trouble of the transaction that just ended at cell, from the
  // failures met during it; says a port failure when outcome is kCodeRead.
  Trouble Taken(Trouble::Step step, Cell cell, camera::Outcome outcome);

  FailureLog failures_;  // declared first: the engine reports to it until it ends
  std::unique_ptr<CCommPort> engine_ = std::make_unique<CCommPort>(failures_);
  std::string port_, path_;
};

}  // namespace cli
