// The one way library code tells of a problem that is no failure of a
// call, on Windows: a GUI program has no console, so the text goes to the
// debugger's output (OutputDebugStringA) and, where there is one, to
// standard error. Any thread.
#pragma once

#include <string>

namespace platform {

void Diagnose(const std::string& text);

}  // namespace platform
