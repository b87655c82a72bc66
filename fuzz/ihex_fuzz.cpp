// Fuzz target: the Intel HEX reader of dump files.
//
// Input: the file's text. Checked: a refusal names a line; a text that is
// read holds only cells of the two pages, and writing those cells and
// reading the result back gives the same cells, in a text that is written
// again the same way (the writer's output is the reader's fixed point).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "backup/ihex.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

bool SameCells(const backup::Image& a, const backup::Image& b) {
  for (int index = 0; index < backup::kCells; ++index) {
    const backup::Cell cell{index};
    if (a.Has(cell) != b.Has(cell)) return false;
    if (a.Has(cell) && a.Code(cell) != b.Code(cell)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  backup::Image image;
  std::string error;
  if (!backup::ReadIntelHex(text, &image, &error)) {
    Require(error.rfind("line ", 0) == 0);
    return 0;
  }
  for (int index = 0; index < backup::kCells; ++index) {
    if (image.Has(backup::Cell{index})) Require(image.Code(backup::Cell{index}) <= 0xFF);
  }
  const std::string written = backup::WriteIntelHex(image);
  backup::Image again;
  Require(backup::ReadIntelHex(written, &again, &error));
  Require(SameCells(image, again));
  Require(backup::WriteIntelHex(again) == written);
  return 0;
}
