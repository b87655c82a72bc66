// The one way library code tells the user of a problem that is no failure
// of a call: a setting that cannot be used, a trace file that does not
// open, a port that exists but cannot be used. Library code reports; each
// program decides where it goes by the handler it sets in main.
#pragma once

#include <string>

namespace platform {

// Gets one warning: a text without the program's name and without a line
// break. Runs on the thread that reported it, so it must be safe to call
// from any thread, also right before the process ends at once (a second
// stop signal, stop_signals.h): it must not wait for a lock that another
// thread may hold, such as stdio's.
using DiagnosticsHandler = void (*)(const std::string& text);

// Sets the handler; null restores the default, which writes
// "<program's short name>: <text>" as one line on standard error. A program
// sets it once at the start of main, before it starts any thread.
void SetDiagnosticsHandler(DiagnosticsHandler handler);

// Reports a warning to the handler. Any thread.
void Diagnose(const std::string& text);

// Writes "<name>: <text>" and a line break to standard error in one write,
// so that lines of two threads never mix: what the default handler does
// with the program's short name. clearLine: on a terminal, first clears
// the line the cursor is on (which may hold a progress bar).
void WriteDiagnosticLine(const char* name, const std::string& text, bool clearLine = false);

}  // namespace platform
