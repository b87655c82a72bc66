// Native threads for the framework's worker threads. A thread started here
// is detached: it ends by returning from its procedure or by ExitThread.
#pragma once

#include "platform/win32types.h"

namespace platform {

typedef DWORD (*ThreadProc)(LPVOID param);

// Starts proc(param) on a new detached thread. Returns FALSE (last error
// set) when the thread cannot be created.
BOOL StartThread(ThreadProc proc, LPVOID param);

// Ends the calling thread with an exit code; unwinds nothing above it
// (objects on the stack of the thread procedure are not destroyed, as with
// the native call). Must be called on a thread started by StartThread.
[[noreturn]] void ExitThread(DWORD code);

// Number of threads started by StartThread that have not ended yet.
long LiveThreadCount();

}  // namespace platform

DWORD GetCurrentThreadId();
