#include "cli/trace.h"

#include "platform/serial/serial_trace.h"

namespace cli {

void SetTrace(const std::string& destination) {
  platform::ApplyTraceSetting(destination);
}

void TraceNote(const std::string& text) {
  if (platform::SerialTrace* trace = platform::SerialTrace::Current()) trace->Note(text);
}

}  // namespace cli
