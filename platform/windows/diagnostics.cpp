// Warnings of the library code on Windows.
#include "platform/posix/diagnostics.h"

#include <windows.h>

#include <cstdio>

namespace platform {

void Diagnose(const std::string& text) {
  const std::string line = "corvane: " + text + "\n";
  ::OutputDebugStringA(line.c_str());
  // A GUI program started from Explorer has no standard error; one started
  // from a console with its output redirected has.
  if (HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE); err && err != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
}

}  // namespace platform
