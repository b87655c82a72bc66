// Dump files: the camera's memory as Intel HEX text or raw bytes, written
// so that a failed or interrupted dump never replaces a good file
// (FileReplacement), and read back for verify, compare and restore.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "backup/cells.h"
#include "backup/file_replacement.h"

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

// Reads a dump file into *image (which starts empty). format: as given, or
// when empty, Intel HEX if the file is text whose first non-blank character
// is ':', raw otherwise. Raw files hold 512 bytes (both pages), or 256 when
// range names a page, which they then are. With a page in range, only that
// page's cells are kept. On failure returns false with a message that names
// the file (and for Intel HEX the line).
bool LoadDump(const std::string& path, std::optional<Format> format, PageRange range, Image* image,
              std::string* error);

}  // namespace backup
