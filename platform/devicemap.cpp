#include "platform/devicemap.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace platform {

std::optional<std::string> DevicePathForName(const char* name) {
  if (name == nullptr) return std::nullopt;
  // The device namespace prefix "\\.\" may precede the name (needed on the
  // native system for COM10 and above).
  if (std::strncmp(name, "\\\\.\\", 4) == 0) name += 4;
  if (std::strlen(name) < 4) return std::nullopt;
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  }
  const char* digits = name + 3;
  // 1 to 255, no sign, no leading zero, nothing after the number.
  if (*digits < '1' || *digits > '9') return std::nullopt;
  int n = 0;
  for (const char* p = digits; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return std::nullopt;
    n = n * 10 + (*p - '0');
    if (n > 255) return std::nullopt;
  }
  const std::string var = "CORVANE_COM" + std::to_string(n);
  if (const char* path = std::getenv(var.c_str()); path != nullptr && *path != '\0') {
    return std::string(path);
  }
  return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace platform
