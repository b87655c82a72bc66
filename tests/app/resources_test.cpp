// The icon resource and its PNG export: both sizes, only the sixteen
// colours of the palette with real transparency, and PNG files that an
// independent decoder (ImageMagick) reads back pixel for pixel.
#include "platform/ui/resources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>

#include "res/PngWriter.h"
#include "res/Resources.h"
#include "res/resource.h"

namespace {

TEST(ResourcesTest, IconHasBothSizesInSixteenColoursWithATransparentBackground) {
  corvane::RegisterCorvaneResources();
  HICON h = platform::ui::FindIcon(IDI_TESTER);
  ASSERT_NE(h, nullptr);
  const platform::ui::Icon* icon = platform::ui::IconFromHandle(h);
  std::set<unsigned> palette(std::begin(corvane::kIconPalette), std::end(corvane::kIconPalette));
  ASSERT_EQ(palette.size(), 16u);
  for (const auto* img : {&icon->large, &icon->small}) {
    SCOPED_TRACE(img->width);
    ASSERT_EQ(img->width, img->height);
    ASSERT_EQ(img->rgba.size(), static_cast<std::size_t>(img->width * img->height * 4));
    int transparent = 0;
    std::set<unsigned> used;
    for (std::size_t i = 0; i < img->rgba.size(); i += 4) {
      if (img->rgba[i + 3] == 0) {
        ++transparent;
        continue;
      }
      EXPECT_EQ(img->rgba[i + 3], 255);
      unsigned rgb = (img->rgba[i] << 16) | (img->rgba[i + 1] << 8) | img->rgba[i + 2];
      EXPECT_TRUE(palette.count(rgb)) << std::hex << rgb;
      used.insert(rgb);
    }
    EXPECT_GT(transparent, 0);   // not a filled square
    EXPECT_GT(used.size(), 4u);  // a picture, not a blot
    EXPECT_EQ(img->rgba[3], 0);  // the corner is background
  }
  EXPECT_EQ(icon->large.width, 32);
  EXPECT_EQ(icon->small.width, 16);
}

TEST(ResourcesTest, PngFilesDecodeToTheIconsPixels) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ImageMagick";
  char dir[] = "/tmp/corvane-png.XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  for (int size : {32, 16}) {
    platform::ui::IconImage img = corvane::TesterIconImage(size);
    std::string png = std::string(dir) + "/icon.png", raw = std::string(dir) + "/icon.rgba";
    ASSERT_TRUE(corvane::WritePng(img, png));
    ASSERT_EQ(std::system(("convert " + png + " -depth 8 rgba:" + raw).c_str()), 0);
    std::FILE* f = std::fopen(raw.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> decoded(img.rgba.size() + 1);
    std::size_t n = std::fread(decoded.data(), 1, decoded.size(), f);
    std::fclose(f);
    ASSERT_EQ(n, img.rgba.size());
    decoded.resize(n);
    EXPECT_EQ(decoded, img.rgba) << size;
  }
  std::system((std::string("rm -rf ") + dir).c_str());
}

}  // namespace
