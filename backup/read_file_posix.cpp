#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "backup/read_file.h"
#include "backup/system_error.h"
#include "platform/posix/fd.h"

namespace backup {

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string* data,
                   std::string* error) {
  const platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    *error = SystemError("cannot open", path);
    return false;
  }
  // A file too big is refused before it is read; a pipe or a device as it
  // comes.
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::size_t>(st.st_size) > maxBytes) {
    error->clear();
    return false;
  }
  const std::size_t start = data->size();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = SystemError("cannot read", path);
      return false;
    }
    if (n == 0) return true;
    data->append(buffer, static_cast<std::size_t>(n));
    if (data->size() - start > maxBytes) {
      error->clear();
      return false;
    }
  }
}

}  // namespace backup
