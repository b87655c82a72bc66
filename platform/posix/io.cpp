#include "platform/posix/io.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/fd.h"

namespace platform {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

bool SyncParentFolder(const std::string& path) {
  UniqueFd folder(::open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return false;
  const bool synced = ::fsync(folder.get()) == 0 || errno == EINVAL;
  const int err = errno;  // the fsync's, not the close's
  folder.Reset();
  errno = err;
  return synced;
}

}  // namespace platform
