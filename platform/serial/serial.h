// Serial ports: CreateFileA on "COMn" and the Win32 comm calls, built on
// termios and poll. Any thread.
//
// Each open port has one waiter thread of its own, blocked in poll() on
// the port's descriptor and a wake-up descriptor; it watches the line only
// while an operation is pending, with the nearest time-out as its limit.
// Operations complete at once when they can; otherwise they pend and
// complete on the waiter, which sets the event of the OVERLAPPED they were
// started with. The OVERLAPPED record itself is read only by the calling
// thread, when the operation starts: the pending state lives in the port,
// keyed by the record's address, and GetOverlappedResult reports the newest
// operation started with that record. One pending operation of each kind
// (event wait, read, write) per port. A call with a null OVERLAPPED waits
// for its own result.
//
// A record belongs to its operation until that operation has completed:
// kernel32 writes the status into it and signals its event at completion,
// so a second operation on the same record races the first. Here starting
// a WaitCommEvent, ReadFile or WriteFile with a record that a pending
// operation still holds fails: FALSE, ERROR_INVALID_PARAMETER, the record
// and its event untouched, and the pending operation goes on. A record is
// free again once its operation has completed (its event set), whether or
// not GetOverlappedResult has been called.
//
// Rules the callers rely on:
// - WaitCommEvent resets the record's event when it accepts the wait; with
//   EV_RXCHAR in the mask and input queued it completes at once (TRUE,
//   *lpEvtMask = EV_RXCHAR, event set). Otherwise it pends and the event is
//   set when a byte arrives (EV_RXCHAR), the mask changes (SetCommMask, even
//   to the same mask, completes it at once: TRUE with no events), the port
//   is closed or the device goes away (failed). A wait that completes TRUE
//   writes its events into *lpEvtMask as it completes, before its event is
//   set, on whichever thread completes it: like the record, the word must
//   outlive the pending wait. A failed wait leaves the word alone. A second
//   wait while one is pending: FALSE, ERROR_INVALID_PARAMETER, the event
//   untouched. Only EV_RXCHAR is detected; other bits are accepted and
//   never fire.
// - ReadFile/WriteFile that complete at once return TRUE and leave the
//   event alone; otherwise they reset it and pend. Reads follow the
//   COMMTIMEOUTS as the native driver does (total = multiplier * n +
//   constant from the call; the interval runs from each received byte;
//   MAXDWORD/0/0 returns at once with what is queued; MAXDWORD/MAXDWORD/c
//   returns with the first bytes or after c). A timed-out read completes
//   TRUE with the bytes it got (maybe 0). A timed-out write also completes
//   TRUE, with the number of bytes that went out (fewer than asked), as the
//   native driver reports a write time-out. Writes are copied at the call;
//   a pending read fills the caller's buffer until it completes.
// - PurgeComm PURGE_RXABORT/PURGE_TXABORT complete pending reads/writes
//   with ERROR_OPERATION_ABORTED (event set); a pending event wait stays.
// - A device that went away (hang-up, EIO): pending operations complete
//   with ERROR_DEVICE_REMOVED (event set) and every later call on the
//   handle fails with ERROR_DEVICE_REMOVED; a failed WaitCommEvent resets
//   the event, ClearCommError zeroes the error word and COMSTAT, and
//   GetCommMask reports an empty mask on any failure. On a tty a call
//   learns of a hang-up from its own system call where that reports one
//   (the read, the write, the queue query of ClearCommError and of an
//   EV_RXCHAR event wait, the flush of PurgeComm); the other calls poll the
//   line first.
// - CloseHandle cancels pending operations (ERROR_OPERATION_ABORTED, event
//   set), joins the waiter, releases the lock and closes the descriptor; a
//   thread blocked in GetOverlappedResult on the port returns FALSE then.
// - Hooks installed in front of the calls (hooks.h; tests install them)
//   can make any of these calls fail and stand in for a device's serial
//   settings.
#pragma once

#include "platform/win32/win32types.h"

// Opens a COM name (see devicemap.h), or a device path (a name that begins
// with '/', opened as it is; the trace names the port by its path),
// exclusively (dwShareMode 0) across all processes and users (flock, and
// TIOCEXCL on a tty), and asks a tty for low latency until it is closed
// (low_latency.h). Missing device, or a COM name that no device is mapped
// to: ERROR_FILE_NOT_FOUND; held elsewhere or no permission:
// ERROR_ACCESS_DENIED. A device that does not open says why: the error
// text's detail is "<path>: <reason>" and platform::LastOpenFailure (port_state.h)
// the state and reason, both in the words of the port listing. Neither a COM name nor a path:
// ERROR_FILE_NOT_FOUND; a share mode, a disposition other than
// OPEN_EXISTING or access bits other than GENERIC_READ/GENERIC_WRITE:
// ERROR_INVALID_PARAMETER. A device that is no tty opens (unlocked) but has
// no line settings (ERROR_INVALID_FUNCTION). Returns INVALID_HANDLE_VALUE
// on failure. Opens, closes, failures and the bytes that pass go to the
// byte trace when it is on (serial_trace.h: StartTrace).
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts);
BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask);
BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask);
BOOL GetCommState(HANDLE hFile, LPDCB lpDCB);
BOOL SetCommState(HANDLE hFile, LPDCB lpDCB);
// Parses "baud=9600 parity=N data=8 stop=1" (and the other keys of the
// definition language). Malformed text: FALSE, ERROR_INVALID_PARAMETER,
// the DCB unchanged.
BOOL BuildCommDCBA(LPCSTR lpDef, LPDCB lpDCB);
BOOL PurgeComm(HANDLE hFile, DWORD dwFlags);
BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat);
BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped);
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
