// Native threads for the framework's worker threads. A thread started here
// is detached: it ends by returning from its procedure or by ExitThread.
#pragma once

#include "platform/win32/win32types.h"

namespace platform {

typedef DWORD (*ThreadProc)(LPVOID param);

// Starts proc(param) on a new detached thread. Returns FALSE (last error
// set) when the thread cannot be created.
BOOL StartThread(ThreadProc proc, LPVOID param);

// Ends the calling thread with an exit code; does not return. It ends the
// thread through pthread_exit: no exception is thrown and no catch clause
// sees it, but glibc's forced unwind still runs the destructors of the
// objects on the thread's stack, so callers must not rely on them either
// running or not. No noexcept function may lie between the thread procedure
// and this call (the unwind would end the process). Must be called on a
// thread started by StartThread.
[[noreturn]] void ExitThread(DWORD code);

// Number of threads started by StartThread that have not ended yet.
long LiveThreadCount();

}  // namespace platform

DWORD GetCurrentThreadId();
