// --trace: the serial services' byte trace (platform/serial/serial_trace.h),
// switched on by a call before any port is opened.
#pragma once

#include <string>

namespace cli {

// destination: a file, or "-" for standard error. A file that cannot be
// opened is said on standard error, as for CORVANE_TRACE, and the trace
// stays off.
void SetTrace(const std::string& destination);

// Adds a line "# corvane-cli: <text>" to the trace, when one is on, through
// the trace's own writer: it stands in order among the lines of the bytes.
void TraceNote(const std::string& text);

}  // namespace cli
