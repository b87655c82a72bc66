#include <windows.h>

#include "backup/read_file.h"
#include "backup/system_error.h"
#include "backup/windows_handle.h"

namespace backup {

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string* data,
                   std::string* error) {
  const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    *error = SystemError("cannot open", path);
    return false;
  }
  const std::size_t start = data->size();
  bool ok = true;
  LARGE_INTEGER size{};
  if (::GetFileType(file.get()) == FILE_TYPE_DISK && ::GetFileSizeEx(file.get(), &size) &&
      static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    error->clear();
    ok = false;
  }
  char buffer[65536];
  while (ok) {
    DWORD n = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
      // A pipe's writer that closed ends it.
      if (::GetLastError() == ERROR_BROKEN_PIPE) break;
      *error = SystemError("cannot read", path);
      ok = false;
    } else if (n == 0) {
      break;
    } else {
      data->append(buffer, n);
      if (data->size() - start > maxBytes) {
        error->clear();
        ok = false;
      }
    }
  }
  return ok;
}

}  // namespace backup
