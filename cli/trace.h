// --trace: the serial services' byte trace (platform/serial_trace.h). The
// services switch it on from the environment variable CORVANE_TRACE (a
// file, or "-" for standard error), which they read when they first need
// it; so SetTrace must come before any port is opened or note is traced.
#pragma once

#include <string>

namespace cli {

// destination: a file, or "-" for standard error.
void SetTrace(const std::string& destination);

// Adds a line "# corvane-cli: <text>" to the trace, when one is on, through
// the trace's own writer: it stands in order among the lines of the bytes.
void TraceNote(const std::string& text);

}  // namespace cli
