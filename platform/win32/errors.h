// Error codes and their texts: a last-error code per thread, and the
// system's message text for a code.
#pragma once

#include <string>

#include "platform/win32/win32types.h"

DWORD GetLastError();
void SetLastError(DWORD code);

// Supports FORMAT_MESSAGE_FROM_SYSTEM with FORMAT_MESSAGE_ALLOCATE_BUFFER
// (lpBuffer is then a char** that receives a LocalAlloc'd text, freed with
// LocalFree) or without it (lpBuffer is a buffer of nSize chars; too small:
// 0 and ERROR_INSUFFICIENT_BUFFER). Texts have the system's English wording
// and end with "\r\n". Returns the text length without the terminator, or
// 0 when the code has no text (last error ERROR_MR_MID_NOT_FOUND, as the
// system sets it). Other flags: 0 and ERROR_INVALID_PARAMETER. The language
// and arguments are ignored (one language; no system text has inserts).
// Does not change the last error when it succeeds.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, void* arguments);
HLOCAL LocalAlloc(UINT flags, std::size_t bytes);
HLOCAL LocalFree(HLOCAL mem);

namespace platform {

// Sets the last error and a detail for it on the calling thread; the
// system text of that code then carries the detail (for example which
// device and why) until the thread's last error changes: FormatMessageA
// gives "<system text without its line break> <detail>\r\n".
void SetLastErrorDetail(DWORD code, const char* detail);

// Maps an errno value to the nearest Win32 error code.
DWORD Win32ErrorFromErrno(int err);

// The system text of code on one line (no line break), with the calling
// thread's detail when code is its last error: what FormatMessageA gives,
// for the services' own reports. A code with no text reads "Error <code>.".
// Leaves the last error alone.
std::string SystemErrorText(DWORD code);

}  // namespace platform
