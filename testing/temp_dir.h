// A fresh folder for one test's files.
#pragma once

#include <string>

namespace testsupport {

// Makes a new folder /tmp/corvane-<tag>.XXXXXX (under $TMPDIR when set)
// with mkdtemp, and removes it with all it holds when destroyed. Throws
// std::system_error when the folder cannot be made.
class TempDir {
 public:
  explicit TempDir(const std::string& tag = "test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name: a place in the folder (nothing is made there).
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole content of the file at `path` (empty if it cannot be read).
std::string ReadFile(const std::string& path);
// Makes `content` the whole content of the file at `path`.
void WriteFile(const std::string& path, const std::string& content);

}  // namespace testsupport
