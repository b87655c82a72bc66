// The system's reason for the failure of the call just made, in a message
// that names what failed and where: "cannot open /x/y: No such file or
// directory". POSIX: errno; Windows: GetLastError(). Call it at once, before
// anything else can change the error.
#pragma once

#include <string>

namespace backup {

// "<what> <path>: <the system's text>"
std::string SystemError(const std::string& what, const std::string& path);

}  // namespace backup
