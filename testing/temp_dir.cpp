#include "testing/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace testsupport {

TempDir::~TempDir() {
  std::error_code ec;  // a folder that is already gone is no failure here
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace testsupport
