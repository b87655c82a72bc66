// The console backend: for programs that run on a terminal and show no
// windows. A message box becomes one line on standard error, "caption:
// text" with every run of line breaks and blanks in the text turned into
// one blank, and returns at once as if OK was pressed. Windows exist only in
// the model, as with the headless backend.
#pragma once

#include <memory>

#include "platform/ui/backend.h"

namespace platform::ui {

std::unique_ptr<Backend> MakeConsoleBackend();

// How many boxes console backends have written since the process started.
// Any thread.
unsigned long ConsoleBoxesShown();

}  // namespace platform::ui
