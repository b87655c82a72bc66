// The icon IDI_TESTER: a DV camcorder with its serial cable, drawn in the
// sixteen colours of the classic palette, in 32 x 32 and 16 x 16 pixels.
// Each row is a string of palette letters ('.' is transparent).
#include <cstring>

#include "res/Resources.h"

namespace corvane {

// black, maroon, green, olive, navy, purple, teal, silver, grey, red, lime,
// yellow, blue, fuchsia, aqua, white.
const unsigned kIconPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                   0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                   0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

namespace {

// The letter of each palette entry, in palette order.
constexpr char kLetters[] = "KMGONPTSDRLYBFCW";

const char* const kLarge[32] = {
    "................................", "................................",
    "................................", "................KKKKKKKKKKK.....",
    "...............KSSSSSSSSSSSK....", "...............KSDDDDDDDDDSK....",
    "...............KSDNNNNNNNDSK....", "...............KSDNBCBBBNDSK....",
    "...............KSDDDDDDDDDSK....", "..........KKKKKKKKKKKKKKKKKKKK..",
    ".........KSSSSSSSSSSSSSSSSSSSSK.", "..KKKKKKKKSWWWWWWWWWWWWWWWRRWSK.",
    ".KDDDDDDDKSWSSSSSSSSSSSSSSRRSDK.", "KDSSSSSSDKSWSDDDDDDDDDDDDSSSSDK.",
    "KDNNNNNSDKSWSDKKKKKKKKKKDSSSSDK.", "KNBBCCBNDKSWSDKSSSSSSSSKDSSSSDK.",
    "KNBCCBBNDKSWSDKSKKKKKKSKDSSSSDK.", "KNBBBBBNDKSWSDKSKKKKKKSKDSSSSDK.",
    "KNBBBBBNDKSWSDKSSSSSSSSKDSSSSDK.", "KDNNNNNSDKSWSDKKKKKKKKKKDSSSSDK.",
    "KDSSSSSSDKSWSDDDDDDDDDDDDSSSSDK.", ".KDDDDDDDKSWSSSSSSSSSSSSSSSSSDK.",
    "..KKKKKKKKSSDDDDDDDDDDDDDDDDDDK.", "..........KSDDDDDDDDDDDDDDDDDDK.",
    "..........KKKKKKKKKKKKKKKKKKKK..", "..................KYK...........",
    "..................KYK...........", "..................KYKKKKKKKKK...",
    "..................KYYYYYYYYYKKKK", "...................KKKKKKKKYKDDK",
    "...........................KKDDK", "............................KKKK",
};

const char* const kSmall[16] = {
    "................", "........KKKKK...", ".......KSNBNSK..", ".....KKKKKKKKKK.",
    "KKKKKSWWWWWWRWK.", "KNNNKSWDDDDDSDK.", "NBCBKSWDKKKDSDK.", "NCBBKSWDKKKDSDK.",
    "KNNNKSWDDDDDSDK.", "KKKKKSSSSSSSSDK.", ".....KDDDDDDDDK.", ".....KKKKKKKKKK.",
    ".........KYK....", ".........KYYYYKK", "..........KKKYDK", "............KKKK",
};

platform::ui::IconImage FromArt(const char* const* rows, int size) {
  platform::ui::IconImage img;
  img.width = size;
  img.height = size;
  img.rgba.assign(static_cast<std::size_t>(size) * size * 4, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const char* entry = std::strchr(kLetters, rows[y][x]);
      if (rows[y][x] == '.' || entry == nullptr) continue;  // transparent
      unsigned rgb = kIconPalette[entry - kLetters];
      std::size_t at = (static_cast<std::size_t>(y) * size + x) * 4;
      img.rgba[at] = static_cast<std::uint8_t>(rgb >> 16);
      img.rgba[at + 1] = static_cast<std::uint8_t>(rgb >> 8);
      img.rgba[at + 2] = static_cast<std::uint8_t>(rgb);
      img.rgba[at + 3] = 255;
    }
  }
  return img;
}

}  // namespace

platform::ui::IconImage TesterIconImage(int size) {
  return size == 32 ? FromArt(kLarge, 32) : FromArt(kSmall, 16);
}

}  // namespace corvane
