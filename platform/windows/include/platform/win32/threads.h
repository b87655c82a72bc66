// Native threads for the framework's worker threads, on Windows: the C
// runtime's _beginthreadex, so that the runtime's per-thread data is set up
// and freed with the thread. A thread started here is detached.
#pragma once

#include <windows.h>

namespace platform {

typedef DWORD (*ThreadProc)(LPVOID param);

// Starts proc(param) on a new detached thread. FALSE (last error set) when
// the thread cannot be created.
BOOL StartThread(ThreadProc proc, LPVOID param);

// Ends the calling thread with an exit code (_endthreadex); objects on its
// stack are not destroyed. Only on a thread started by StartThread.
[[noreturn]] void ExitThread(DWORD code);

}  // namespace platform
