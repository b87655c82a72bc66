// Fuzz target: the command line's cells and codes.
//
// Input: byte 0 picks the parser (cell, code or CELL=CODE), the rest is the
// argument. Checked against the rule written out here once more: a cell is
// "0" or "1", ':', one or two hex digits of either case; a code one or two
// hex digits; CELL=CODE the two around the first '='. What is accepted
// prints in the canonical form and parses back to itself; what is refused
// gets a message of one printable line.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "backup/cells.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool ShortHex(std::string_view s) {
  return (s.size() == 1 || s.size() == 2) && IsHex(s[0]) && IsHex(s.back());
}

bool CellRule(std::string_view s) {
  return s.size() >= 3 && (s[0] == '0' || s[0] == '1') && s[1] == ':' && ShortHex(s.substr(2));
}

void RequireMessage(const std::string& error) {
  Require(!error.empty());
  for (char c : error) Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

void CheckCell(std::string_view text) {
  std::string error;
  const auto cell = backup::ParseCell(text, &error);
  Require(cell.has_value() == CellRule(text));
  if (!cell) return RequireMessage(error);
  Require(cell->index >= 0 && cell->index < backup::kCells);
  Require(cell->page() == text[0] - '0');
  const std::string name = backup::CellName(*cell);
  Require(name.size() == 4);
  const auto again = backup::ParseCell(name, &error);
  Require(again && again->index == cell->index);
  const auto engine = backup::EngineCell(*cell);
  Require(engine[0] == name[2] && engine[1] == name[3] && engine[2] == name[0] && engine[3] == 0);
}

void CheckCode(std::string_view text) {
  std::string error;
  const auto code = backup::ParseCode(text, &error);
  Require(code.has_value() == ShortHex(text));
  if (!code) return RequireMessage(error);
  Require(*code >= 0 && *code <= 0xFF);
  Require(backup::EngineCode(backup::CodeText(*code)) == code);
}

void CheckCellCode(std::string_view text) {
  std::string error;
  const auto pair = backup::ParseCellCode(text, &error);
  const auto equals = text.find('=');
  const bool rule = equals != std::string_view::npos && CellRule(text.substr(0, equals)) &&
                    ShortHex(text.substr(equals + 1));
  Require(pair.has_value() == rule);
  if (!pair) return RequireMessage(error);
  const auto again = backup::ParseCellCode(
      backup::CellName(pair->cell) + "=" + backup::CodeText(pair->code), &error);
  Require(again && again->cell.index == pair->cell.index && again->code == pair->code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0:
      CheckCell(text);
      break;
    case 1:
      CheckCode(text);
      break;
    default:
      CheckCellCode(text);
      break;
  }
  return 0;
}
