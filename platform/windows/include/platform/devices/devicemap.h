// The device path of a COM name, on Windows: the system names the ports
// itself, and COMn is the device "\\.\COMn" (the form that CreateFileA
// opens for every n). Any thread.
#pragma once

#include <optional>
#include <string>

namespace platform {

constexpr int kMaxComNumber = 255;

inline std::string ComName(int n) {
  return "COM" + std::to_string(n);
}

// "\\.\COMn" for n from 1 to 255, nothing for any other n.
inline std::optional<std::string> ComDevicePath(int n) {
  if (n < 1 || n > kMaxComNumber) return std::nullopt;
  return "\\\\.\\" + ComName(n);
}

}  // namespace platform
