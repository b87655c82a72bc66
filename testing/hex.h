// What the tests write as hexadecimal text: bytes to text and back, and the
// frames and replies of the camera's service dialogue exactly as they go
// over the line. One copy for every test, written out by hand, so that the
// code under test is checked against these texts rather than against
// itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testhex {

using Bytes = std::vector<std::uint8_t>;

// {0x05, 0x80, 0x7F} -> "05807F" (upper-case digits).
inline std::string ToHex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (std::uint8_t b : bytes) {
    s.push_back(kDigits[b >> 4]);
    s.push_back(kDigits[b & 15]);
  }
  return s;
}

// "05807F" -> {0x05, 0x80, 0x7F}. Upper- or lower-case digits; an odd last
// digit is ignored.
inline Bytes FromHex(std::string_view text) {
  auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(value(text[i]) * 16 + value(text[i + 1])));
  }
  return out;
}

// The frames of a Read of page 0, address F7 (and of the dialogue's other
// fixed steps), and the camera's replies to them.
inline constexpr char kAnnounce[] = "05807F";
inline constexpr char kAnnounceReply[] = "06807F";
inline constexpr char kSetup[] = "01801320030001FF01011F0201190301FF8001078101FFCF";
inline constexpr char kSetupReply[] = "103B018013280300010201011F0201190301018001018101013C";
inline constexpr char kClose[] = "103B04";
inline constexpr char kCloseReply[] = "06";
inline constexpr char kReferenceRead[] = "01800E10204D4000F802FFFFFFFFFFFFFFFFC9";
inline constexpr char kCellReadF7[] = "01800E10204D4000F702FFFFFFFFFFFFFFFFC6";

}  // namespace testhex
