// Events and waits. Events are manual- or auto-reset; a wait blocks in the
// kernel (poll on event descriptors) and never spins. Any thread.
#pragma once

#include "platform/win32/win32types.h"

// Creates an unnamed event. lpName must be null (named events are not
// supported: NULL with ERROR_NOT_SUPPORTED). Returns NULL on failure.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// dwMilliseconds: limit in ms, or INFINITE. WAIT_OBJECT_0, WAIT_TIMEOUT, or
// WAIT_FAILED with the last error set.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Waits for any (bWaitAll FALSE) of nCount events and gives WAIT_OBJECT_0 +
// the lowest signalled index. bWaitAll TRUE is not supported (WAIT_FAILED).
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds);

// Sleeps the calling thread; Sleep(0) yields the processor.
void Sleep(DWORD dwMilliseconds);
