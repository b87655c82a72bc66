// The Win32 serial calls: argument checks, the handle lookup and the test
// fault hook; the port object does the work (serial_port.cpp).
#include "platform/serial.h"

#include <fcntl.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/commstate.h"
#include "platform/devicemap.h"
#include "platform/errors.h"
#include "platform/serial_faults.h"
#include "platform/serial_port.h"

namespace platform::serial_testing {
namespace {

struct Faults {
  std::mutex mutex;
  std::map<std::string, DWORD> armed;
  // How many are armed: every serial call asks, and with none armed (the
  // program's case) it does not take the lock.
  std::atomic<std::size_t> count{0};
};

Faults& TheFaults() {
  static Faults* faults = new Faults;  // never destroyed: see handles.cpp
  return *faults;
}

}  // namespace

void FailNext(const char* function, DWORD code) {
  Faults& f = TheFaults();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.armed[function] = code;
  f.count.store(f.armed.size(), std::memory_order_release);
}

void ClearFaults() {
  Faults& f = TheFaults();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.armed.clear();
  f.count.store(0, std::memory_order_release);
}

bool TakeFault(const char* function, DWORD* code) {
  Faults& f = TheFaults();
  if (f.count.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard<std::mutex> lock(f.mutex);
  auto it = f.armed.find(function);
  if (it == f.armed.end()) return false;
  *code = it->second;
  f.armed.erase(it);
  f.count.store(f.armed.size(), std::memory_order_release);
  return true;
}

}  // namespace platform::serial_testing

namespace {

using platform::SerialPort;

bool Faulted(const char* function) {
  DWORD code;
  if (!platform::serial_testing::TakeFault(function, &code)) return false;
  SetLastError(code);
  return true;
}

std::shared_ptr<SerialPort> Port(HANDLE h) {
  auto port = platform::LookupAs<SerialPort>(h);
  if (!port) SetLastError(ERROR_INVALID_HANDLE);
  return port;
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  (void)lpSecurityAttributes;  // handles are never inherited here
  (void)dwFlagsAndAttributes;  // every port does overlapped I/O; a call with
                               // no OVERLAPPED simply waits for its result
  (void)hTemplateFile;         // ignored for existing devices
  if (Faulted("CreateFileA")) return INVALID_HANDLE_VALUE;
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Only COM devices exist in this namespace; any other name is a file
  // that is not there.
  const std::optional<std::string> path = platform::DevicePathForName(lpFileName);
  if (!path) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // A comm device is opened existing and unshared, for reading and/or
  // writing (or neither, to query it).
  if ((dwDesiredAccess & ~(GENERIC_READ | GENERIC_WRITE)) != 0 || dwShareMode != 0 ||
      dwCreationDisposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int mode = O_RDONLY;
  if ((dwDesiredAccess & GENERIC_READ) && (dwDesiredAccess & GENERIC_WRITE)) {
    mode = O_RDWR;
  } else if (dwDesiredAccess & GENERIC_WRITE) {
    mode = O_WRONLY;
  }
  std::shared_ptr<SerialPort> port;
  if (SerialPort::Open(*path, mode, &port) != 0) return INVALID_HANDLE_VALUE;
  return platform::RegisterHandle(std::move(port));
}

BOOL SetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  if (Faulted("SetCommTimeouts")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpCommTimeouts == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->SetTimeouts(*lpCommTimeouts);
}

BOOL GetCommTimeouts(HANDLE hFile, LPCOMMTIMEOUTS lpCommTimeouts) {
  if (Faulted("GetCommTimeouts")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpCommTimeouts == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->GetTimeouts(lpCommTimeouts);
}

BOOL SetCommMask(HANDLE hFile, DWORD dwEvtMask) {
  if (Faulted("SetCommMask")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  return port->SetMask(dwEvtMask);
}

BOOL GetCommMask(HANDLE hFile, LPDWORD lpEvtMask) {
  // On failure the mask reads as empty, so that a caller acting on its bits
  // does nothing.
  if (lpEvtMask != nullptr) *lpEvtMask = 0;
  if (Faulted("GetCommMask")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpEvtMask == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->GetMask(lpEvtMask);
}

BOOL GetCommState(HANDLE hFile, LPDCB lpDCB) {
  if (Faulted("GetCommState")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpDCB == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->GetState(lpDCB);
}

BOOL SetCommState(HANDLE hFile, LPDCB lpDCB) {
  if (Faulted("SetCommState")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpDCB == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->SetState(*lpDCB);
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
  if (Faulted("PurgeComm")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  return port->Purge(dwFlags);
}

BOOL ClearCommError(HANDLE hFile, LPDWORD lpErrors, LPCOMSTAT lpStat) {
  if (lpErrors != nullptr) *lpErrors = 0;
  if (lpStat != nullptr) *lpStat = COMSTAT{};
  if (Faulted("ClearCommError")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  return port->ClearError(lpErrors, lpStat);
}

BOOL WaitCommEvent(HANDLE hFile, LPDWORD lpEvtMask, LPOVERLAPPED lpOverlapped) {
  if (Faulted("WaitCommEvent")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  return port->WaitEvent(lpEvtMask, lpOverlapped);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  if (Faulted("ReadFile")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpBuffer == nullptr && nNumberOfBytesToRead != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  if (Faulted("WriteFile")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpBuffer == nullptr && nNumberOfBytesToWrite != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
  if (Faulted("GetOverlappedResult")) return FALSE;
  auto port = Port(hFile);
  if (!port) return FALSE;
  if (lpOverlapped == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return port->Result(lpOverlapped, lpNumberOfBytesTransferred, bWait);
}
