// An owned Win32 file handle, for this folder's Windows implementation
// files (the build compiles them only for Windows).
#pragma once

#include <windows.h>

#include <utility>

namespace backup {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, INVALID_HANDLE_VALUE));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  // Closes the handle now; false when CloseHandle fails (GetLastError).
  bool Close() { return ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0; }
  void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace backup
