#include "testing/temp_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

namespace testsupport {

TempDir::TempDir(const std::string& tag) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/corvane-" + tag + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  path_ = name.data();
}

TempDir::~TempDir() {
  std::error_code ec;  // a folder that is already gone is no failure here
  std::filesystem::remove_all(path_, ec);
}

}  // namespace testsupport
