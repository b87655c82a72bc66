// The hexadecimal text form of frames and results, as pure functions.
//
// Frames and results are zero-terminated texts of upper-case hexadecimal
// characters, two per byte, high nibble first; only "0"-"9" and "A"-"F" are
// digits. The conversions that may meet a bad character take the digit
// converter as a parameter, so that CCommPort can pass its own (which shows
// the error box) while tests and tools pass DigitValue.
#pragma once

#include <cstddef>
#include <cstring>

#include "platform/win32/win32types.h"

namespace camera {

// The value every non-digit converts to.
inline constexpr BYTE kNotADigit = 16;

// Room of the frame conversion: a working area of 200 characters (so at most
// 198 characters of text, an even number, are converted) and an output area
// of 100 bytes.
inline constexpr std::size_t kFrameTextRoom = 198;
inline constexpr std::size_t kFrameByteRoom = 100;

// Room of a cell frame's working copy: 38 characters and the terminator fit.
inline constexpr std::size_t kCellFrameRoom = 40;

// 0-9 for "0"-"9", 10-15 for "A"-"F", kNotADigit for anything else
// (lower-case letters included). Shows nothing.
BYTE DigitValue(char ch);

// The low eight bits of value as one character: "0"-"9", "A"-"F", or "X"
// above 15. Never fails.
char NibbleChar(unsigned value);

// Writes the two characters of a byte (high nibble first) to out[0], out[1];
// no terminator.
void ByteToHex(unsigned byte, char* out);

// Converts the first `length` characters of text to bytes into out (which is
// cleared first) and returns the frame length: (length - 1) / 2 + 1, so an
// odd text ends in a zero byte. Each pair is converted low digit first, then
// high digit, both always (so a converter that reports errors reports both);
// the byte is 16 * high + low kept to eight bits. Requires 1 <= length <=
// kFrameTextRoom.
template <class Digit>
std::size_t HexTextToBytes(const char* text, std::size_t length, BYTE (&out)[kFrameByteRoom],
                           Digit&& digit) {
  std::memset(out, 0, sizeof out);
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    const unsigned low = digit(text[i + 1]);
    const unsigned high = digit(text[i]);
    out[i / 2] = static_cast<BYTE>(16 * high + low);
    out[i / 2 + 1] = 0;
  }
  return (length - 1) / 2 + 1;
}

// The page of a cell reference as the checksum counts it: 0 exactly when the
// page digit is "0", 1 for every other character.
inline unsigned CellPage(const char* cell) {
  return cell[2] == '0' ? 0u : 1u;
}

// Builds the 38-character frame that reads (value null) or writes (value:
// two hex digits) a cell, from the template of the command table's row 5 or
// 6. cell: address high digit, address low digit, page digit. The checksum
// is the exclusive-or of bytes 2 to 17, which for these frames comes to
//   read:  address ^ page ^ 0x31
//   write: address ^ code ^ page ^ 0x9E
// with the address and code converted by `digit`.
template <class Digit>
void BuildCellFrame(char (&frame)[kCellFrameRoom], const char* templateText, const char* cell,
                    const char* value, Digit&& digit) {
  std::memset(frame, 0, sizeof frame);
  std::strncpy(frame, templateText, kCellFrameRoom - 1);
  frame[15] = cell[2];
  frame[16] = cell[0];
  frame[17] = cell[1];
  const unsigned page = CellPage(cell);
  const unsigned addressHigh = digit(cell[0]);
  const unsigned address = 16u * addressHigh + digit(cell[1]);
  unsigned checksum;
  if (value != nullptr) {
    frame[20] = value[0];
    frame[21] = value[1];
    const unsigned codeHigh = digit(value[0]);
    const unsigned code = 16u * codeHigh + digit(value[1]);
    checksum = address ^ code ^ page ^ 0x9Eu;
  } else {
    checksum = address ^ page ^ 0x31u;
  }
  ByteToHex(checksum & 0xFFu, frame + 36);
}

}  // namespace camera
