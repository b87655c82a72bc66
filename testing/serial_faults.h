// The serial services driven by a test: a chosen call that fails once, a
// model of a device's serial settings, and the byte trace switched to a
// destination. Through the services' seam (platform/serial/hooks.h): the
// first call here installs the hooks, for the rest of the process.
#pragma once

#include "platform/win32/win32types.h"

struct serial_struct;

namespace testsupport {

// The next call of the serial service named function (its Win32 name as in
// serial.h, e.g. "SetCommTimeouts", "GetCommState", "WaitCommEvent"), on any
// port and any thread, fails with code: it returns FALSE (or
// INVALID_HANDLE_VALUE for "CreateFileA") with that last error and has no
// other effect. Each armed fault fires once; arming a name again replaces
// its code.
void FailNext(const char* function, DWORD code);

// Disarms every fault that has not fired yet.
void ClearFaults();

// Stands in for the two serial-settings requests with which a port asks its
// device for low latency (TIOCGSERIAL, TIOCSSERIAL; see low_latency.h): a
// pseudo-terminal refuses both (ENOTTY), so a test puts a model of a USB
// adapter in their place. The hook gets what ioctl() would and answers as
// it does (0, or -1 with errno set). Null restores the system call. Called
// on the thread that opens or closes a port.
using SerialInfoHook = int (*)(int fd, unsigned long request, serial_struct* info);
void SetSerialInfoHook(SerialInfoHook hook);

// Ports opened after this call write the byte trace (serial_trace.h) to
// destination ("-" for standard error, a file, or null for none), as a
// program's CORVANE_TRACE asks (ApplyTraceSetting): a file that cannot be
// opened is reported through the diagnostics hook and leaves the trace off.
void TraceTo(const char* destination);

}  // namespace testsupport
