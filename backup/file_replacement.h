// Replacing a file with new content as one step, so that a failed or
// interrupted write never replaces a good file. Written through a temporary
// file in the target's folder: Open checks that path can be replaced, makes
// the temporary file and reserves room for the content (and so learns early
// whether the folder and its disk take it); Commit writes the content,
// flushes it to disk and moves it over path. One thread.
//
// POSIX: the temporary file is renamed over path and the folder flushed;
// the new file gets the mode of the one it replaces (or 0666 less the
// umask); an immediate end of the program removes the temporary file (see
// platform/process/stop_signals.h). Windows: FlushFileBuffers, then
// MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace backup {

class FileReplacement {
 public:
  // Null with *error when path names a folder or a file that this user may
  // not replace, or the temporary file cannot be made with `bytes`.
  static std::unique_ptr<FileReplacement> Open(const std::string& path, std::size_t bytes,
                                               std::string* error);
  // Removes the temporary file unless Commit moved it over path.
  virtual ~FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False with *error when the content did not reach path (path is then
  // untouched), or when it did (committed()) but the folder could not be
  // flushed to disk. Once only.
  virtual bool Commit(std::string_view data, std::string* error) = 0;
  bool committed() const { return committed_; }

 protected:
  FileReplacement() = default;
  bool committed_ = false;
};

}  // namespace backup
