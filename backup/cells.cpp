#include "backup/cells.h"

#include "camera/HexCodec.h"

namespace backup {
namespace {

// One or two hex digits, either case, and nothing else.
std::optional<int> ShortHex(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (char c : text) {
    const int v = HexDigit(c);
    if (v < 0) return std::nullopt;
    value = value * 16 + v;
  }
  return value;
}

// The text as the user gave it, quoted, with bytes that are not printable
// shown in hex, so that a message never carries control characters.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x" + CodeText(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::optional<Cell> ParseCell(std::string_view text, std::string* error) {
  const auto colon = text.find(':');
  if (colon == 1 && (text[0] == '0' || text[0] == '1')) {
    if (const auto address = ShortHex(text.substr(2))) {
      return Cell{(text[0] - '0') * kCellsPerPage + *address};
    }
  }
  *error = "bad cell " + Quoted(text) +
           ": expected PAGE:ADDRESS, page 0 or 1 and one or two hex digits (such as 0:F7)";
  return std::nullopt;
}

std::optional<int> ParseCode(std::string_view text, std::string* error) {
  if (const auto code = ShortHex(text)) return code;
  *error = "bad code " + Quoted(text) + ": expected one or two hex digits (such as 5A)";
  return std::nullopt;
}

std::optional<CellCode> ParseCellCode(std::string_view text, std::string* error) {
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) {
    *error = "bad argument " + Quoted(text) + ": expected CELL=CODE (such as 0:F7=5A)";
    return std::nullopt;
  }
  const auto cell = ParseCell(text.substr(0, equals), error);
  if (!cell) return std::nullopt;
  const auto code = ParseCode(text.substr(equals + 1), error);
  if (!code) return std::nullopt;
  return CellCode{*cell, *code};
}

int HexDigit(char c) {
  // The engine's digits are upper case only; people type either.
  const BYTE v = camera::DigitValue(c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c);
  return v == camera::kNotADigit ? -1 : v;
}

std::string CellName(Cell cell) {
  return std::to_string(cell.page()) + ":" + CodeText(cell.address());
}

std::string CodeText(int code) {
  char text[2];
  camera::ByteToHex(static_cast<unsigned>(code) & 0xFFu, text);
  return {text[0], text[1]};
}

std::array<char, 4> EngineCell(Cell cell) {
  const std::string address = CodeText(cell.address());
  return {address[0], address[1], static_cast<char>('0' + cell.page()), '\0'};
}

std::optional<int> EngineCode(std::string_view text) {
  if (text.size() != 2) return std::nullopt;
  const BYTE high = camera::DigitValue(text[0]), low = camera::DigitValue(text[1]);
  if (high == camera::kNotADigit || low == camera::kNotADigit) return std::nullopt;
  return high * 16 + low;
}

std::size_t Image::Count() const {
  std::size_t n = 0;
  for (int code : codes_) n += code >= 0 ? 1 : 0;
  return n;
}

}  // namespace backup
