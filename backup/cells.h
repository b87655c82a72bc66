// Cells and codes as the command line names them, and the memory image that
// dumps, verify and restore work on. Pure functions, no services.
//
// CELL is PAGE:ADDRESS: page "0" or "1", a colon, and the address as one or
// two hexadecimal digits in either case ("0:F7", "1:7", "0:f7"). CODE is one
// or two hexadecimal digits in either case. Output always uses the form
// "0:F7" and "5A" (upper case, two digits).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace backup {

inline constexpr int kPages = 2;
inline constexpr int kCellsPerPage = 256;
inline constexpr int kCells = kPages * kCellsPerPage;

// A cell as its index: page * 256 + address (0..511), which is also its
// address in a dump file.
struct Cell {
  int index = 0;
  int page() const { return index / kCellsPerPage; }
  int address() const { return index % kCellsPerPage; }
};

struct CellCode {
  Cell cell;
  int code = 0;  // 0..255
};

// Each returns nothing for a bad text and sets *error to a message that
// names the text and says what is expected.
std::optional<Cell> ParseCell(std::string_view text, std::string* error);
std::optional<int> ParseCode(std::string_view text, std::string* error);
// "CELL=CODE"
std::optional<CellCode> ParseCellCode(std::string_view text, std::string* error);

// The value of a hex digit of either case, or -1.
int HexDigit(char c);

// "0:F7"
std::string CellName(Cell cell);
// "5A"
std::string CodeText(int code);

// The engine's cell reference: address high digit, address low digit, page
// digit, and a terminator ("F70").
std::array<char, 4> EngineCell(Cell cell);

// Two hex characters (upper case, as the engine returns them) as a code;
// nothing for anything else (such as a failure text).
std::optional<int> EngineCode(std::string_view text);

// A set of cells with their codes: the content of a dump file, or what was
// read from the camera.
class Image {
 public:
  bool Has(Cell cell) const { return codes_[cell.index] >= 0; }
  int Code(Cell cell) const { return codes_[cell.index]; }
  void Set(Cell cell, int code) { codes_[cell.index] = code; }
  void Clear(Cell cell) { codes_[cell.index] = -1; }
  // How many cells are present.
  std::size_t Count() const;

 private:
  std::array<int, kCells> codes_ = Absent();
  static std::array<int, kCells> Absent() {
    std::array<int, kCells> a{};
    a.fill(-1);
    return a;
  }
};

}  // namespace backup
