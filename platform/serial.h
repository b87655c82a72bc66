// Serial ports: CreateFileA on "COMn" and the Win32 comm calls, built on
// termios and poll. Overlapped operations complete at once when they can;
// otherwise they pend, complete on the port's waiter, and signal the
// OVERLAPPED's event. Any thread; one pending operation of each kind (event
// wait, read, write) per port.
#pragma once

#include "platform/win32types.h"

// Opens a COM name (see devicemap.h) exclusively (dwShareMode 0) across
// all processes. Missing device: ERROR_FILE_NOT_FOUND; held elsewhere or no
// permission: ERROR_ACCESS_DENIED. Returns INVALID_HANDLE_VALUE on failure.
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
