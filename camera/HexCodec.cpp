#include "camera/HexCodec.h"

namespace camera {

BYTE DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return static_cast<BYTE>(ch - '0');
  if (ch >= 'A' && ch <= 'F') return static_cast<BYTE>(ch - 'A' + 10);
  return kNotADigit;
}

char NibbleChar(unsigned value) {
  const unsigned v = value & 0xFFu;
  if (v < 10) return static_cast<char>('0' + v);
  if (v < 16) return static_cast<char>('A' + v - 10);
  return 'X';
}

void ByteToHex(unsigned byte, char* out) {
  out[0] = NibbleChar(byte / 16);
  out[1] = NibbleChar(byte % 16);
}

}  // namespace camera
