// The line to the camera as the command-line tool uses it: choosing and
// opening the port, the monitor thread, and the camera transactions of the
// engine (CCommPort). Main thread only; one object at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/cells.h"
#include "port/CommPort.h"

namespace cli {

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
  // first that opens, which is the port the dialog's probe selects. Null
  // when no port could be opened, with *error saying for each port tried
  // why, one line "COM1 (/dev/ttyUSB0): <reason>" in the words of the port
  // listing (platform/port_listing.h), or that the port opened but could
  // not be configured (the engine's box has said how).
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
  // not answer (the engine has written its box).
  std::optional<int> Read(Cell cell);
  // One Write transaction: the engine's result, the code read back (two
  // hex characters) or a failure text.
  std::string Write(Cell cell, int code);

  // The read session of the engine (see CCommPort::BeginReadSession).
  bool BeginSession();
  // One round: TRUE with *code when every step was answered; false when the
  // session has ended, *code then set when the cell's read was answered
  // before the time-out.
  bool SessionRead(Cell cell, std::optional<int>* code);

 private:
  CameraLink() = default;
  int TryOpen(int com);

  std::unique_ptr<CCommPort> engine_ = std::make_unique<CCommPort>();
  std::string port_, path_;
};

}  // namespace cli
