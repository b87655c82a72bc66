// Dump files: the camera's memory as Intel HEX text or raw bytes, written
// so that a failed or interrupted dump never replaces a good file, and read
// back for verify and restore.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "backup/cells.h"
#include "platform/posix/fd.h"
#include "platform/process/stop_signals.h"

namespace backup {

enum class Format { kIntelHex, kRaw };

// The cells of one page (0 or 1), or of both when page is empty, in
// address order.
struct PageRange {
  std::optional<int> page;
  int first() const { return page ? *page * kCellsPerPage : 0; }
  int end() const { return page ? (*page + 1) * kCellsPerPage : kCells; }
};

// The content of a dump of `range`, whose cells image must all hold: Intel
// HEX text, or raw bytes in address order (256 or 512 bytes).
std::string DumpContent(const Image& image, Format format, PageRange range);

// Replaces the file at path with new content through a temporary file in
// path's directory, so that a failed or interrupted dump never replaces a
// good file: Open checks that path can be replaced, makes the temporary file
// and reserves room for the content (and so learns early whether the
// directory and its disk take it), Commit writes the content, flushes it to
// disk and renames it over path; the new file gets the mode of the one it
// replaces (or 0666 less the umask). The temporary file is removed when the
// object goes without a Commit, when Commit fails before the rename (path is
// then untouched), and by an immediate end of the program (see platform/process/stop_signals.h).
class FileReplacement {
 public:
  // Null with *error when path names a directory or a file that this user
  // may not replace, or the temporary file cannot be made with `bytes`.
  static std::unique_ptr<FileReplacement> Open(const std::string& path, std::size_t bytes,
                                               std::string* error);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False with *error when the content did not reach path, or when it did
  // (committed()) but the directory could not be flushed to disk.
  bool Commit(std::string_view data, std::string* error);
  bool committed() const { return committed_; }

 private:
  FileReplacement(std::string path, std::string temp, platform::UniqueFd fd);
  std::string path_, temp_;
  platform::UniqueFd fd_;
  platform::RemoveOnAbort abortGuard_;
  bool committed_ = false;
};

// Reads a dump file into *image (which starts empty). format: as given, or
// when empty, Intel HEX if the file is text whose first non-blank character
// is ':', raw otherwise. Raw files hold 512 bytes (both pages), or 256 when
// range names a page, which they then are. With a page in range, only that
// page's cells are kept. On failure returns false with a message that names
// the file (and for Intel HEX the line).
bool LoadDump(const std::string& path, std::optional<Format> format, PageRange range, Image* image,
              std::string* error);

}  // namespace backup
