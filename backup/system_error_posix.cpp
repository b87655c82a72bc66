#include <cerrno>
#include <cstring>

#include "backup/system_error.h"

namespace backup {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace backup
