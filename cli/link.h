// The line to the camera as the command-line tool uses it: choosing and
// opening the port, the monitor thread, and the camera transactions of the
// engine (CCommPort), whose failures it receives. Main thread only; one
// object at a time.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/cells.h"
#include "port/CommPort.h"

namespace cli {

// corvane-cli's receiver of the engine's failures (port/Receiver.h): it
// keeps every failure, and writes each at once as one line on standard
// error, "Application Error: " and the error box's text with its line
// breaks and runs of blanks made one blank. The engine reports on the main
// thread and on the monitor thread, so both calls may come at once.
class FailureLog final : public engine::Receiver {
 public:
  void OnFailure(const engine::Failure& failure) override;
  // The tool gives the engine no owner window: nothing is ever notified.
  void OnOwnerNotification(CWnd*, UINT, WPARAM, LPARAM) override {}

  // The failures reported so far, oldest first. Any thread.
  std::vector<engine::Failure> Failures() const;

 private:
  mutable std::mutex mutex_;
  std::vector<engine::Failure> failures_;
};

// The line that FailureLog writes for a failure, without its line break.
std::string FailureLine(const engine::Failure& failure);

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
  // the words of the port listing (platform/port_listing.h), or that the
  // port opened but could not be configured (the engine's failure line has
  // said how).
  static std::unique_ptr<CameraLink> Open(const PortChoice& choice, std::string* error);

  // Ends the monitor thread and closes the port (which releases its lock).
  ~CameraLink() = default;
  CameraLink(const CameraLink&) = delete;
  CameraLink& operator=(const CameraLink&) = delete;

  // "COM1", or empty for a port named by its path.
  const std::string& port() const { return port_; }
  // The device the port opened.
  const std::string& path() const { return path_; }
  // "COM1 (/dev/ttyS0)", or the path alone.
  std::string Label() const;

  // One Read transaction: the cell's code, or nothing when the camera did
  // not answer (the engine has reported it).
  std::optional<int> Read(Cell cell);
  // One Write transaction: the engine's result, the code read back (two
  // hex characters) or a failure text (camera/Outcome.h tells which).
  std::string Write(Cell cell, int code);

  // The read session of the engine (see CCommPort::BeginReadSession).
  bool BeginSession();
  // One round: true with *code when every step was answered; false when the
  // session has ended, *code then set when the cell's read was answered
  // before the time-out.
  bool SessionRead(Cell cell, std::optional<int>* code);

 private:
  CameraLink() = default;
  // Opens COMn (com > 0) or the device at path_ (com 0) with the line.
  int TryOpen(int com);

  FailureLog failures_;  // declared first: the engine reports to it until it ends
  std::unique_ptr<CCommPort> engine_ = std::make_unique<CCommPort>(failures_);
  std::string port_, path_;
};

}  // namespace cli
