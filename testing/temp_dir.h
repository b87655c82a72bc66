// A fresh folder for one test's files.
#pragma once

#include <string>

namespace testsupport {

// Makes a new folder corvane-<tag>.XXXXXX in the system's folder for
// temporary files, and removes it with all it holds when destroyed. Throws
// std::system_error when the folder cannot be made. POSIX: mkdtemp under
// $TMPDIR (or /tmp); Windows: CreateDirectoryA with a name not yet taken
// under GetTempPathA's folder. The build compiles one of the two.
class TempDir {
 public:
  explicit TempDir(const std::string& tag = "test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name: a place in the folder (nothing is made there);
  // Windows takes '/' as a separator too.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole content of the file at `path` (empty if it cannot be read).
std::string ReadFile(const std::string& path);
// Makes `content` the whole content of the file at `path`.
void WriteFile(const std::string& path, const std::string& content);

}  // namespace testsupport
