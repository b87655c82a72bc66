// Fuzz target: the hex codec and cell frame building.
//
// Input: byte 0 selects flags, bytes 1-5 give a cell reference and a code
// value for a cell frame, bytes 6-9 a number for NibbleChar, and the rest is
// a hex text for the frame conversion. Checked: the conversion's length rule,
// its bytes, the order of the digit conversions (low digit first, both
// always), the round trip of valid text; the cell frame's substitutions, its
// untouched template characters and its checksum by the exclusive-or rule.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "camera/CommandTable.h"
#include "camera/HexCodec.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

bool IsDigit(char c) {
  return camera::DigitValue(c) != camera::kNotADigit;
}

void CheckTextToBytes(const char* text, std::size_t length) {
  BYTE out[camera::kFrameByteRoom];
  std::memset(out, 0xA5, sizeof out);
  std::string seen;
  const std::size_t n = camera::HexTextToBytes(text, length, out, [&seen](char c) {
    seen += c;
    return camera::DigitValue(c);
  });
  Require(n == (length - 1) / 2 + 1);
  const std::size_t pairs = length / 2;
  Require(seen.size() == 2 * pairs);
  bool allDigits = length % 2 == 0;
  for (std::size_t p = 0; p < pairs; ++p) {
    const char high = text[2 * p], low = text[2 * p + 1];
    Require(seen[2 * p] == low && seen[2 * p + 1] == high);
    const unsigned expect = (16u * camera::DigitValue(high) + camera::DigitValue(low)) & 0xFFu;
    Require(out[p] == expect);
    allDigits = allDigits && IsDigit(high) && IsDigit(low);
  }
  for (std::size_t i = pairs; i < camera::kFrameByteRoom; ++i) Require(out[i] == 0);
  if (allDigits) {
    std::string back;
    for (std::size_t p = 0; p < pairs; ++p) {
      char hex[2];
      camera::ByteToHex(out[p], hex);
      back.append(hex, 2);
    }
    Require(back == std::string(text, length));
  }
}

void CheckCellFrame(const char cell[3], const char* value) {
  const int row = value != nullptr ? camera::kCellWrite : camera::kCellRead;
  const char* tmpl = camera::kCommandTable[row].frameText;
  char frame[camera::kCellFrameRoom];
  std::memset(frame, 0x5A, sizeof frame);
  camera::BuildCellFrame(frame, tmpl, cell, value, camera::DigitValue);
  for (std::size_t i = 0; i < 38; ++i) {
    char expect = tmpl[i];
    if (i == 15) expect = cell[2];
    if (i == 16) expect = cell[0];
    if (i == 17) expect = cell[1];
    if (value != nullptr && i == 20) expect = value[0];
    if (value != nullptr && i == 21) expect = value[1];
    if (i == 36 || i == 37) {
      Require(IsDigit(frame[i]));  // a checksum byte always has two digits
    } else {
      Require(frame[i] == expect);
    }
  }
  Require(frame[38] == 0 && frame[39] == 0);

  bool valid = IsDigit(cell[0]) && IsDigit(cell[1]) && (cell[2] == '0' || cell[2] == '1');
  if (value != nullptr) valid = valid && IsDigit(value[0]) && IsDigit(value[1]);
  if (!valid) return;
  // A valid frame obeys the checksum rule: the last byte is the XOR of the
  // bytes from index 2 to the one before it.
  BYTE bytes[camera::kFrameByteRoom];
  Require(camera::HexTextToBytes(frame, 38, bytes, camera::DigitValue) == 19);
  BYTE x = 0;
  for (int i = 2; i < 18; ++i) x ^= bytes[i];
  Require(bytes[18] == x);
  Require(bytes[7] == (cell[2] == '0' ? 0 : 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const std::uint8_t flags = data[0];
  const char cell[3] = {static_cast<char>(data[1]), static_cast<char>(data[2]),
                        static_cast<char>(data[3])};
  const char value[2] = {static_cast<char>(data[4]), static_cast<char>(data[5])};
  CheckCellFrame(cell, (flags & 1) != 0 ? value : nullptr);

  std::uint32_t number = 0;
  std::memcpy(&number, data + 6, sizeof number);
  const char nibble = camera::NibbleChar(number);
  const unsigned low8 = number & 0xFFu;
  Require(low8 < 16 ? nibble == "0123456789ABCDEF"[low8] : nibble == 'X');

  const char* text = reinterpret_cast<const char*>(data + 10);
  const std::size_t length = std::min<std::size_t>(size - 10, camera::kFrameTextRoom);
  if (length >= 1) CheckTextToBytes(text, length);
  return 0;
}
