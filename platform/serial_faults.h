// A fault hook for tests of code above the serial services: makes one
// chosen serial call fail with a chosen error code, so that the handling of
// a failure that a pseudo-terminal never produces (a device refusing its
// time-outs, say) can be exercised against a real port.
#pragma once

#include "platform/win32types.h"

namespace platform::serial_testing {

// The next call of the serial service named function (its Win32 name as in
// serial.h, e.g. "SetCommTimeouts", "GetCommState", "WaitCommEvent"), on any
// port and any thread, fails with code: it returns FALSE (or
// INVALID_HANDLE_VALUE for "CreateFileA") with that last error and has no
// other effect. Each armed fault fires once; arming a name again replaces
// its code.
void FailNext(const char* function, DWORD code);

// Disarms every fault that has not fired yet.
void ClearFaults();

// For the services: true (and *code set, the fault disarmed) when a fault
// is armed for function.
bool TakeFault(const char* function, DWORD* code);

}  // namespace platform::serial_testing
