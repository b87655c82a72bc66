#include "backup/dumpfile.h"

#include "backup/ihex.h"
#include "backup/read_file.h"

namespace backup {
namespace {

// Far more than any dump (an Intel HEX dump of both pages is 1.5 kB); a
// bigger file is refused before it is read.
constexpr std::size_t kMaxDumpFileBytes = 16 << 20;

bool LooksLikeIntelHex(std::string_view data) {
  for (unsigned char c : data) {
    if (c == '\r' || c == '\n' || c == '\t') continue;
    if (c < 0x20 || c >= 0x7F) return false;
  }
  const auto first = data.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && data[first] == ':';
}

}  // namespace

std::string DumpContent(const Image& image, Format format, PageRange range) {
  if (format == Format::kRaw) {
    std::string bytes;
    for (int index = range.first(); index < range.end(); ++index) {
      bytes += static_cast<char>(image.Code(Cell{index}));
    }
    return bytes;
  }
  Image part;
  for (int index = range.first(); index < range.end(); ++index) {
    part.Set(Cell{index}, image.Code(Cell{index}));
  }
  return WriteIntelHex(part);
}

bool LoadDump(const std::string& path, std::optional<Format> format, PageRange range, Image* image,
              std::string* error) {
  std::string data;
  if (!ReadWholeFile(path, kMaxDumpFileBytes, &data, error)) {
    if (error->empty()) *error = path + " is too big to be a dump (more than 16 MiB)";
    return false;
  }
  const Format use =
      format ? *format : (LooksLikeIntelHex(data) ? Format::kIntelHex : Format::kRaw);
  Image all;
  if (use == Format::kIntelHex) {
    std::string why;
    if (!ReadIntelHex(data, &all, &why)) {
      *error = path + ": " + why;
      return false;
    }
  } else {
    // 512 bytes are both pages; 256 are the page that --page names.
    int first = 0;
    if (data.size() == static_cast<std::size_t>(kCellsPerPage) && range.page) {
      first = range.first();
    } else if (data.size() != static_cast<std::size_t>(kCells)) {
      *error = path +
               ": a raw dump holds 512 bytes (both pages), or 256 with --page; this one holds " +
               std::to_string(data.size());
      return false;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
      all.Set(Cell{first + static_cast<int>(i)}, static_cast<unsigned char>(data[i]));
    }
  }
  for (int index = range.first(); index < range.end(); ++index) {
    if (all.Has(Cell{index})) image->Set(Cell{index}, all.Code(Cell{index}));
  }
  if (image->Count() == 0) {
    *error = path + ": no cells" + (range.page ? " of page " + std::to_string(*range.page) : "");
    return false;
  }
  return true;
}

}  // namespace backup
