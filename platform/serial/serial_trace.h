// The byte trace of the serial services. Switched on by StartTrace (to a
// FILE, appended to and created if missing, or to standard error; the
// programs call it for CORVANE_TRACE=FILE or CORVANE_TRACE=-), every open,
// close, failed call and burst of bytes out and in is one line:
//
//   +0.012345 COM1 TX 05 80 7F
//
// the time since that port's open in seconds with microseconds, the COM
// name, the event and its details:
//   OPEN <path>[ -> <node>][ low-latency]
//                                 the port opened (the node it reached when
//                                 that is not path: through a by-id link,
//                                 say), and took low latency
//   CLOSE                         the handle was closed
//   TX <hex bytes> / RX <hex>     one write(2) out / one read(2) in
//   ERROR <call> <code> <text>    a serial call failed (an open: at +0)
// A program adds notes of its own between them, lines of the form
//   # corvane-cli: the read session stopped answering at cell 0:10; ...
// (its name, then the note), which carry no time. A port traces to the
// trace that was on when it opened, until it is closed.
// Each line goes out with one write(2) of its own, unbuffered, so lines of
// several threads and processes never mix and a crash loses none that a
// call had finished. Off, the trace costs one test of a pointer that each
// port reads when it opens.
#pragma once

#include <cstddef>
#include <string>

#include "platform/posix/deadline.h"
#include "platform/win32/win32types.h"

namespace platform {

// Switches the trace on for the ports opened from now on: destination is a
// file (appended to, created if missing) or "-" for standard error. False,
// with *error ("cannot open FILE: <reason>"), when the file cannot be
// opened; the trace is then off. Any thread.
bool StartTrace(const std::string& destination, std::string* error);
// Switches the trace off for the ports opened from now on. Any thread.
void StopTrace();
// What a program does with its CORVANE_TRACE setting: StartTrace for a
// destination, nothing for "". A file that cannot be opened is reported
// through the diagnostics hook (diagnostics.h): "CORVANE_TRACE: cannot
// open FILE: <reason>; no trace is written".
void ApplyTraceSetting(const std::string& destination);

class SerialTrace {
 public:
  // The trace that a port opened now writes to, or null when tracing is
  // off. A trace lives as long as the process. Any thread.
  static SerialTrace* Current();

  // One line; since: the port's open time on the monotonic clock (the
  // line's time is now minus since). Any thread.
  void Event(const std::string& port, Nanos since, const std::string& text);
  void Bytes(const std::string& port, Nanos since, const char* direction, const void* data,
             std::size_t size);
  // "ERROR <call> <code> <system text>", the text as FormatMessageA gives
  // it for the calling thread's last error (with its detail).
  void Failure(const std::string& port, Nanos since, const char* call, DWORD code);
  // "# <program's name>: <text>", in order with the lines of the ports.
  // Any thread.
  void Note(const std::string& text);

 private:
  explicit SerialTrace(int fd) : fd_(fd) {}
  friend bool StartTrace(const std::string& destination, std::string* error);
  void Write(const std::string& port, Nanos since, const char* event, const std::string& rest);
  // line: its line break included.
  void WriteLine(const std::string& line);

  const int fd_;  // never closed: the trace outlives every port
};

}  // namespace platform
