#include <windows.h>

#include <random>
#include <system_error>

#include "testing/temp_dir.h"

namespace testsupport {

TempDir::TempDir(const std::string& tag) {
  char tmp[MAX_PATH + 1];
  const DWORD n = ::GetTempPathA(sizeof tmp, tmp);
  if (n == 0 || n > MAX_PATH) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "GetTempPathA");
  }
  // GetTempPathA ends the folder with a '\'. The name's random part keeps
  // programs that run side by side apart; one that is taken is tried again.
  const std::string prefix = std::string(tmp, n) + "corvane-" + tag + ".";
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    if (::CreateDirectoryA(name.c_str(), nullptr)) {
      path_ = name;
      return;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                          "CreateDirectoryA " + prefix + "XXXXXX");
}

}  // namespace testsupport
