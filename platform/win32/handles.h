// Kernel handles: every HANDLE that the services give out (events, serial
// ports) names a KernelObject owned by this table. CloseHandle works for
// every kind. Thread-safe.
#pragma once

#include <memory>

#include "platform/win32/win32types.h"

namespace platform {

// Base of every object a HANDLE can name. Destroyed when its last handle is
// closed and no operation is using it any more.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Called once when CloseHandle is called on the handle, before the object
  // is released; wakes anything blocked on the object.
  virtual void OnClose() {}
};

// Registers obj and returns a new handle for it (never null or
// INVALID_HANDLE_VALUE).
HANDLE RegisterHandle(std::shared_ptr<KernelObject> obj);

// Looks a handle up; null when the handle is unknown or already closed. The
// returned pointer keeps the object alive while the caller uses it.
std::shared_ptr<KernelObject> LookupHandle(HANDLE h);

template <class T>
std::shared_ptr<T> LookupAs(HANDLE h) {
  return std::dynamic_pointer_cast<T>(LookupHandle(h));
}

// Number of handles open in this process (for leak checks in tests).
std::size_t OpenHandleCount();

}  // namespace platform

// Closes any handle. FALSE with ERROR_INVALID_HANDLE for an unknown handle.
BOOL CloseHandle(HANDLE h);
