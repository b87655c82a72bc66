// The start-up line for a port that does not open, on Windows: the system
// names COM1 to COM4 itself and tells a technician nothing more through a
// program's console, so there is no line to write. Any thread.
#pragma once

namespace platform {

inline void ReportUnusablePort(int) {}

}  // namespace platform
