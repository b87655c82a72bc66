#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "testing/temp_dir.h"

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

}  // namespace testsupport
