#include "cli/trace.h"

#include <stdlib.h>

#include "platform/serial_trace.h"

namespace cli {

void SetTrace(const std::string& destination) {
  ::setenv("CORVANE_TRACE", destination.c_str(), 1);
}

void TraceNote(const std::string& text) {
  if (platform::SerialTrace* trace = platform::SerialTrace::Current()) trace->Note(text);
}

}  // namespace cli
