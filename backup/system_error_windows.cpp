#include <windows.h>

#include "backup/system_error.h"

namespace backup {

std::string SystemError(const std::string& what, const std::string& path) {
  const DWORD code = ::GetLastError();
  char text[512] = "";
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
  // The system's texts end with ".\r\n"; the message may go on after them.
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.')) --n;
  const std::string why = n > 0 ? std::string(text, n) : "error " + std::to_string(code);
  return what + " " + path + ": " + why;
}

}  // namespace backup
