// The camera's memory: two pages of 256 one-byte cells, and its text file.
//
// Default content: page p, address a holds (a XOR 0x5A XOR p), except page 0
// address F8, which holds 0x12, and page 0 address F7, which holds 0x34.
//
// File format (text, ASCII):
//  - blank lines and lines starting with '#' are ignored;
//  - a line of exactly 512 hexadecimal digits is a whole page, cell 00
//    first, two digits a cell; the first such line is page 0, the second
//    page 1;
//  - a line "p aa vv" (page digit 0 or 1, address and code as two hex digits
//    each, separated by blanks) sets one cell;
//  - cells not named by the file keep their default content; lines are
//    applied in order.
// Save writes the whole-page form (two lines of 512 upper-case digits),
// atomically: a temporary file next to the target, then rename.
// Not thread-safe by itself; the owner locks.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace camsim {

class Memory {
 public:
  static constexpr int kPages = 2;
  static constexpr int kCells = 256;

  Memory();  // the default content

  std::uint8_t Get(int page, int address) const { return cells_[page][address]; }
  void Set(int page, int address, std::uint8_t code) { cells_[page][address] = code; }

  // Reads a memory file over the default content. On failure returns false,
  // sets *error to a message naming the file and line, and leaves this
  // memory unchanged.
  bool Load(const std::string& path, std::string* error);

  // Writes the file atomically. On failure returns false and sets *error.
  bool Save(const std::string& path, std::string* error) const;

  // The default content of one cell.
  static std::uint8_t DefaultCode(int page, int address);

 private:
  std::array<std::array<std::uint8_t, kCells>, kPages> cells_;
};

}  // namespace camsim
