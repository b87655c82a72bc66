// The COM device map: which POSIX device a "COMn" name opens. COMn maps to
// the path in the environment variable CORVANE_COMn, else /dev/ttyS{n-1}.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Returns the device path for a DOS device name such as "COM3" (case-
// insensitive, n from 1 to 255), or nothing if the name is not a COM name.
std::optional<std::string> DevicePathForName(const char* name);

}  // namespace platform
