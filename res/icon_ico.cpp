// corvane-icon-ico FILE: writes the icon IDI_TESTER as a Windows icon file
// with its 32 x 32 and 16 x 16 images (32-bit colour with an AND mask, as
// every Windows since 95 reads them). Run on the build machine by the
// Windows build; the resource compiler puts the file into the program.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "res/Resources.h"

namespace {

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One image as an icon resource stores it: a BITMAPINFOHEADER of twice the
// height, the BGRA rows bottom-up, then the AND mask (1: transparent), one
// bit a pixel, rows padded to four bytes.
std::vector<std::uint8_t> IconBitmap(const platform::ui::IconImage& img) {
  std::vector<std::uint8_t> out;
  const int w = img.width, h = img.height;
  const int maskRow = ((w + 31) / 32) * 4;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(w));
  Put32(out, static_cast<std::uint32_t>(2 * h));
  Put16(out, 1);   // planes
  Put16(out, 32);  // bits per pixel
  Put32(out, 0);   // BI_RGB
  Put32(out, static_cast<std::uint32_t>(w * h * 4 + maskRow * h));
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = &img.rgba[(static_cast<std::size_t>(y) * w + x) * 4];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(maskRow), 0);
    for (int x = 0; x < w; ++x) {
      if (img.rgba[(static_cast<std::size_t>(y) * w + x) * 4 + 3] == 0) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvane-icon-ico FILE\n");
    return 2;
  }
  std::vector<std::vector<std::uint8_t>> images;
  for (int size : {32, 16}) images.push_back(IconBitmap(corvane::TesterIconImage(size)));
  std::vector<std::uint8_t> file;
  Put16(file, 0);
  Put16(file, 1);  // an icon
  Put16(file, static_cast<unsigned>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = i == 0 ? 32 : 16;
    file.push_back(static_cast<std::uint8_t>(size));
    file.push_back(static_cast<std::uint8_t>(size));
    file.push_back(0);  // more than 256 colours
    file.push_back(0);
    Put16(file, 1);
    Put16(file, 32);
    Put32(file, static_cast<std::uint32_t>(images[i].size()));
    Put32(file, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
  FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "corvane-icon-ico: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
