#include "res/PngWriter.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void Put32(Bytes* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(Bytes* out, const char type[4], const Bytes& data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  Put32(out, Crc32(out->data() + start, out->size() - start));
}

// A zlib stream of stored blocks (at most 65535 bytes each).
Bytes ZlibStored(const Bytes& raw) {
  Bytes z = {0x78, 0x01};
  std::size_t pos = 0;
  do {
    std::size_t len = std::min<std::size_t>(raw.size() - pos, 65535);
    bool last = pos + len == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(len));
    z.push_back(static_cast<std::uint8_t>(len >> 8));
    z.push_back(static_cast<std::uint8_t>(~len));
    z.push_back(static_cast<std::uint8_t>(~len >> 8));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
             raw.begin() + static_cast<std::ptrdiff_t>(pos + len));
    pos += len;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;  // Adler-32
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32(&z, (b << 16) | a);
  return z;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const platform::ui::IconImage& img) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32(&header, static_cast<std::uint32_t>(img.width));
  Put32(&header, static_cast<std::uint32_t>(img.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
  Chunk(&out, "IHDR", header);

  Bytes raw;  // each row: filter type 0, then its pixels
  std::size_t stride = static_cast<std::size_t>(img.width) * 4;
  for (int y = 0; y < img.height; ++y) {
    raw.push_back(0);
    auto row = img.rgba.begin() + static_cast<std::ptrdiff_t>(stride * static_cast<std::size_t>(y));
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(stride));
  }
  Chunk(&out, "IDAT", ZlibStored(raw));
  Chunk(&out, "IEND", {});
  return out;
}

bool WritePng(const platform::ui::IconImage& img, const std::string& path) {
  Bytes png = EncodePng(img);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace corvane
