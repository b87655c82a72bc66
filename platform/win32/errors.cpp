#include "platform/win32/errors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;
// The detail belongs to the code it was set with and lives until the next
// SetLastError on this thread.
thread_local std::string t_detail;
thread_local bool t_hasDetail = false;

struct Message {
  DWORD code;
  const char* text;
};

// The system's wording, each text ending in "\r\n".
constexpr Message kMessages[] = {
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, "Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY,
     "Not enough memory resources are available to process this command.\r\n"},
    {ERROR_GEN_FAILURE, "A device attached to the system is not functioning.\r\n"},
    {ERROR_SHARING_VIOLATION,
     "The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_NOT_SUPPORTED, "The request is not supported.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
    {ERROR_OPERATION_ABORTED,
     "The I/O operation has been aborted because of either a thread exit or an application "
     "request.\r\n"},
    {ERROR_IO_INCOMPLETE, "Overlapped I/O event is not in a signaled state.\r\n"},
    {ERROR_IO_PENDING, "Overlapped I/O operation is in progress.\r\n"},
    {ERROR_IO_DEVICE, "The request could not be performed because of an I/O device error.\r\n"},
    {ERROR_DEVICE_NOT_CONNECTED, "The device is not connected.\r\n"},
    {ERROR_NOT_FOUND, "Element not found.\r\n"},
    {ERROR_TIMEOUT, "This operation returned because the timeout period expired.\r\n"},
    {ERROR_DEVICE_REMOVED, "The device has been removed.\r\n"},
};

const char* SystemText(DWORD code) {
  for (const Message& m : kMessages) {
    if (m.code == code) return m.text;
  }
  return nullptr;
}

}  // namespace

DWORD GetLastError() {
  return t_lastError;
}

void SetLastError(DWORD code) {
  t_lastError = code;
  t_hasDetail = false;
  t_detail.clear();
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, void* arguments) {
  (void)lpSource;
  (void)dwLanguageId;  // one language: the texts are English
  (void)arguments;     // no system text here has inserts
  const DWORD supported =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
  if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || (dwFlags & ~supported) != 0 ||
      lpBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* base = SystemText(dwMessageId);
  if (base == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  // "Access is denied. <detail>\r\n": the detail joins the text's line so
  // that a caller's one-line composition still reads well.
  const std::string text = platform::SystemErrorText(dwMessageId) + "\r\n";
  const std::size_t length = text.size();
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    char* mem = static_cast<char*>(LocalAlloc(LMEM_FIXED, length + 1));
    if (mem == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(mem, text.c_str(), length + 1);
    *reinterpret_cast<char**>(lpBuffer) = mem;
  } else {
    if (nSize < length + 1) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(lpBuffer, text.c_str(), length + 1);
  }
  return static_cast<DWORD>(length);
}

HLOCAL LocalAlloc(UINT flags, std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  void* mem = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes) : std::malloc(bytes);
  if (mem == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return mem;
}

HLOCAL LocalFree(HLOCAL mem) {
  std::free(mem);
  return nullptr;
}

namespace platform {

void SetLastErrorDetail(DWORD code, const char* detail) {
  SetLastError(code);
  if (detail != nullptr && *detail != '\0') {
    t_detail = detail;
    t_hasDetail = true;
  }
}

std::string SystemErrorText(DWORD code) {
  const char* base = SystemText(code);
  std::string text = base != nullptr ? base : "Error " + std::to_string(code) + ".\r\n";
  text.resize(text.size() - 2);
  if (t_hasDetail && code == t_lastError) text += ' ' + t_detail;
  return text;
}

DWORD Win32ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
      return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    case ENOTTY:
      return ERROR_INVALID_FUNCTION;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EIO:
      return ERROR_IO_DEVICE;
    case ENXIO:
    case ENODEV:
      return ERROR_DEVICE_NOT_CONNECTED;
    case ETIMEDOUT:
      return ERROR_TIMEOUT;
    case ECANCELED:
      return ERROR_OPERATION_ABORTED;
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace platform
