// The Win32 serial calls: argument checks, the handle lookup, the hooks
// (hooks.h) and the trace of failures; the port object does the work
// (serial_port.cpp).
#include "platform/serial/serial.h"

#include <fcntl.h>

#include <atomic>
#include <string>

#include "platform/devices/devicemap.h"
#include "platform/devices/port_state.h"
#include "platform/posix/deadline.h"
#include "platform/serial/commstate.h"
#include "platform/serial/hooks.h"
#include "platform/serial/serial_port.h"
#include "platform/serial/serial_trace.h"
#include "platform/win32/errors.h"

namespace platform {
namespace {
std::atomic<SerialHooks*> g_hooks{nullptr};
}  // namespace

void InstallSerialHooks(SerialHooks* hooks) {
  g_hooks.store(hooks, std::memory_order_release);
}

SerialHooks* InstalledSerialHooks() {
  return g_hooks.load(std::memory_order_acquire);
}

}  // namespace platform

namespace {

using platform::SerialPort;
using platform::SerialTrace;

// The seam (hooks.h): without hooks, the one cost of a call.
bool Faulted(const char* function) {
  platform::SerialHooks* hooks = platform::InstalledSerialHooks();
  DWORD code;
  if (hooks == nullptr || !hooks->FailCall(function, &code)) return false;
  SetLastError(code);
  return true;
}

// The guard in front of every call on a port: the hooks, the
// handle look-up and the check of the call's pointers (argumentsOk), in
// that order, then the call itself. A failure on a port goes to the trace.
template <class Call>
BOOL OnPort(const char* function, HANDLE h, bool argumentsOk, Call call) {
  const std::shared_ptr<SerialPort> port = platform::LookupAs<SerialPort>(h);
  BOOL ok = FALSE;
  if (Faulted(function)) {
  } else if (!port) {
    SetLastError(ERROR_INVALID_HANDLE);
  } else if (!argumentsOk) {
    SetLastError(ERROR_INVALID_PARAMETER);
  } else {
    ok = call(*port);
  }
  if (!ok && port) port->TraceFailure(function);
  return ok;
}

// The checks and the open itself; CreateFileA traces a failure.
HANDLE OpenComName(LPCSTR name, DWORD access, DWORD shareMode, DWORD disposition) {
  platform::SetLastOpenFailure(std::nullopt);
  if (Faulted("CreateFileA")) return INVALID_HANDLE_VALUE;
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // A COM name goes through the device map; a device path is opened as it
  // is, and the trace names it by its path. Any other name is a file that
  // is not there.
  const bool byPath = name[0] == '/';
  const std::optional<int> n = byPath ? std::nullopt : platform::ComNumber(name);
  if (!byPath && !n) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // A comm device is opened existing and unshared, for reading and/or
  // writing (or neither, to query it).
  if ((access & ~(GENERIC_READ | GENERIC_WRITE)) != 0 || shareMode != 0 ||
      disposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string portName = byPath ? std::string(name) : platform::ComName(*n);
  const std::optional<std::string> path =
      byPath ? std::optional<std::string>(name) : platform::ComDevicePath(*n);
  if (!path) {
    const std::string detail = portName + ": " + platform::kNoDeviceMapped;
    platform::SetLastErrorDetail(ERROR_FILE_NOT_FOUND, detail.c_str());
    platform::SetLastOpenFailure(platform::OpenFailure{platform::PortState::kMissing, std::nullopt,
                                                       platform::kNoDeviceMapped});
    return INVALID_HANDLE_VALUE;
  }
  int mode = O_RDONLY;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) {
    mode = O_RDWR;
  } else if (access & GENERIC_WRITE) {
    mode = O_WRONLY;
  }
  std::shared_ptr<SerialPort> port;
  if (SerialPort::Open(portName, *path, mode, &port) != 0) return INVALID_HANDLE_VALUE;
  return platform::RegisterHandle(std::move(port));
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  (void)lpSecurityAttributes;  // handles are never inherited here
  (void)dwFlagsAndAttributes;  // every port does overlapped I/O; a call with
                               // no OVERLAPPED simply waits for its result
  (void)hTemplateFile;         // ignored for existing devices
  const HANDLE h = OpenComName(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition);
  if (h == INVALID_HANDLE_VALUE) {
    if (SerialTrace* trace = SerialTrace::Current()) {
      const std::optional<int> n = platform::ComNumber(lpFileName);
      const std::string name = n                       ? platform::ComName(*n)
                               : lpFileName != nullptr ? lpFileName
                                                       : "(null)";
      trace->Failure(name, platform::MonotonicNs(), "CreateFileA", GetLastError());
    }
  }
  return h;
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  return OnPort("SetCommTimeouts", hFile, lpCommTimeouts != nullptr,
                [&](SerialPort& port) { return port.SetTimeouts(*lpCommTimeouts); });
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  return OnPort("GetCommTimeouts", hFile, lpCommTimeouts != nullptr,
                [&](SerialPort& port) { return port.GetTimeouts(lpCommTimeouts); });
}

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
  return OnPort("SetCommMask", hFile, true,
                [&](SerialPort& port) { return port.SetMask(dwEvtMask); });
}

BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask) {
  // On failure the mask reads as empty, so that a caller acting on its bits
  // does nothing.
  if (lpEvtMask != nullptr) *lpEvtMask = 0;
  return OnPort("GetCommMask", hFile, lpEvtMask != nullptr,
                [&](SerialPort& port) { return port.GetMask(lpEvtMask); });
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
  return OnPort("GetCommState", hFile, lpDCB != nullptr,
                [&](SerialPort& port) { return port.GetState(lpDCB); });
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
  return OnPort("SetCommState", hFile, lpDCB != nullptr,
                [&](SerialPort& port) { return port.SetState(*lpDCB); });
}

BOOL BuildCommDCBA(LPCSTR lpDef, LPDCB lpDCB) {
  if (Faulted("BuildCommDCBA")) return FALSE;
  if (!platform::ApplyCommDefinition(lpDef, lpDCB)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL PurgeComm(HANDLE hFile, DWORD dwFlags) {
  return OnPort("PurgeComm", hFile, true, [&](SerialPort& port) { return port.Purge(dwFlags); });
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
  if (lpErrors != nullptr) *lpErrors = 0;
  if (lpStat != nullptr) *lpStat = COMSTAT{};
  return OnPort("ClearCommError", hFile, true,
                [&](SerialPort& port) { return port.ClearError(lpErrors, lpStat); });
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
  return OnPort("WaitCommEvent", hFile, true,
                [&](SerialPort& port) { return port.WaitEvent(lpEvtMask, lpOverlapped); });
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  return OnPort(
      "ReadFile", hFile, lpBuffer != nullptr || nNumberOfBytesToRead == 0, [&](SerialPort& port) {
        return port.Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
      });
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  return OnPort(
      "WriteFile", hFile, lpBuffer != nullptr || nNumberOfBytesToWrite == 0, [&](SerialPort& port) {
        return port.Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
      });
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
  return OnPort("GetOverlappedResult", hFile, lpOverlapped != nullptr, [&](SerialPort& port) {
    return port.Result(lpOverlapped, lpNumberOfBytesTransferred, bWait);
  });
}
