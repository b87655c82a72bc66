// The real `corvane` on an X display whose desktop asks for 192 dpi (the
// X resource Xft.dpi: 192, as xrdb sets it), under scripts/with-xvfb.sh with
// a simulated camera on COM1: the program comes up at scale 2, its main
// dialog's client area is 801 x 292 pixels with the controls at twice
// their places and two-pixel lines, and a Read and a Write clicked at the
// scaled places of their buttons reach the camera. Screenshots are kept as
// artefacts; the steps before them check what they show.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/ui/model/windows.h"
#include "res/resource.h"
#include "testing/process.h"
#include "testing/temp_dir.h"
#include "tests/ui_x11/x11_harness.h"
#include "tools/camsim/camsim.h"

namespace {

using namespace x11test;
using platform::ui::DialogUnitsToPixelsX;
using platform::ui::DialogUnitsToPixelsY;

constexpr double kScale = 2;

// The area (x, y, cx, cy dialog units) of the dialog whose client area
// starts at `g`, laid out at scale 2, in root pixels.
Geometry Scaled(const Geometry& g, int x, int y, int cx, int cy) {
  return {g.x + DialogUnitsToPixelsX(x, kScale), g.y + DialogUnitsToPixelsY(y, kScale),
          DialogUnitsToPixelsX(cx, kScale), DialogUnitsToPixelsY(cy, kScale)};
}

// Clicks the middle of a control at (x, y, cx, cy) dialog units.
void ClickScaled(const Geometry& g, int x, int y, int cx, int cy) {
  const Geometry c = Scaled(g, x, y, cx, cy);
  ClickAt(c.x + c.width / 2, c.y + c.height / 2);
}

// The inside of the code field (109, 45, 20, 12), within its sunken edge.
std::string CodeField(const Geometry& g) {
  const Geometry c = Scaled(g, 109, 45, 20, 12);
  return ScreenRgb(c.x + 5, c.y + 5, c.width - 10, c.height - 10);
}

TEST(EndToEndScaled, AtXftDpi192TheProgramIsDoubledAndReadAndWriteWork) {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under scripts/with-xvfb.sh";
  ASSERT_EQ(Shell("echo 'Xft.dpi: 192' | xrdb -nocpp -merge"), 0) << "xrdb (x11-xserver-utils)";
  testsupport::TempDir dir("e2e-scale");
  camsim::CamsimOptions options;
  options.linkPath = dir.File("com1");
  std::string error;
  auto cam = camsim::Camsim::Start(options, &error);
  ASSERT_TRUE(cam) << error;
  cam->SetCell(0, 0xF8, 0x12);
  cam->SetCell(0, 0xF7, 0x34);

  auto env = testsupport::ComPortEnv({options.linkPath});
  env.emplace_back("CORVANE_SCALE", std::nullopt);  // the desktop's resource decides
  env.emplace_back("LSAN_OPTIONS", "suppressions=" CORVANE_LSAN_SUPPRESSIONS);
  testsupport::Process program({CORVANE_BINARY}, 0, env);
  ASSERT_TRUE(program.started());

  unsigned long about = WaitWindow("About Corvane v. 2.0", 15s);
  ASSERT_NE(about, 0u);
  Geometry a = WindowGeometry(about);
  EXPECT_EQ(a.width, 846);   // 282 x 186 dialog units
  EXPECT_EQ(a.height, 604);  // (604.5 goes to 2 x 302)
  ASSERT_TRUE(WaitDrawn(about));
  EXPECT_FALSE(Screenshot("app-about-scale2").empty());
  ClickScaled(a, 235, 10, 32, 14);  // OK
  ASSERT_TRUE(WaitNoWindow("About Corvane v. 2.0", 15s));

  unsigned long main = WaitWindow("Corvane v. 2.0", 15s);
  ASSERT_NE(main, 0u);
  Geometry g = WindowGeometry(main);
  EXPECT_EQ(g.width, 801);
  EXPECT_EQ(g.height, 292);
  ASSERT_TRUE(WaitDrawn(main));
  // The Read button (105, 70 dialog units; 158, 114 at scale 1) starts at
  // 315, 228. It has the focus: a black frame, then the white of its
  // bevel, each two pixels thick, then the face colour.
  EXPECT_TRUE(WaitUntil([&] { return PixelAt(g.x + 315, g.y + 228) == "#000000"; }, 5s));
  EXPECT_EQ(PixelAt(g.x + 316, g.y + 229), "#000000");
  EXPECT_EQ(PixelAt(g.x + 317, g.y + 230), "#FFFFFF");
  EXPECT_EQ(PixelAt(g.x + 318, g.y + 231), "#FFFFFF");
  EXPECT_EQ(PixelAt(g.x + 319, g.y + 232), "#D4D0C8");
  // The Write button (155, 70) at 465, 228, 90 x 49 pixels: its bevel from
  // white to the dark shadow at its far corner.
  EXPECT_EQ(PixelAt(g.x + 465, g.y + 228), "#FFFFFF");
  EXPECT_EQ(PixelAt(g.x + 466, g.y + 229), "#FFFFFF");
  EXPECT_EQ(PixelAt(g.x + 467, g.y + 230), "#D4D0C8");
  EXPECT_EQ(PixelAt(g.x + 465 + 89, g.y + 228 + 48), "#404040");
  // The page field (20, 45: 30, 73 at scale 1) starts at 60, 146 on its
  // grey sunken edge.
  EXPECT_EQ(PixelAt(g.x + 60, g.y + 146), "#808080");
  EXPECT_EQ(PixelAt(g.x + 59, g.y + 146), "#D4D0C8");

  ClickScaled(g, 105, 70, 32, 15);  // Read
  ASSERT_TRUE(cam->WaitForFrames(8, 10000));
  ASSERT_TRUE(cam->WaitFor(camsim::LogKind::kTx, 8, 10000));
  ASSERT_TRUE(WaitUntil([&] {
    const Geometry c = Scaled(g, 109, 45, 20, 12);
    return DarkPixels(c.x + 5, c.y + 5, c.width - 10, c.height - 10) > 0;
  })) << "the code read is not shown";

  // A new code typed into its field, then Write: the camera stores it, and
  // the code field shows it in place of the code read.
  const std::string codeRead = CodeField(g);
  ClickScaled(g, 159, 45, 20, 12);
  TypeText(main, "5A");
  ClickScaled(g, 155, 70, 30, 15);  // Write
  EXPECT_TRUE(WaitUntil([&] { return cam->Cell(0, 0xF7) == 0x5A; }, 10s));
  ASSERT_TRUE(cam->WaitForFrames(16, 10000));
  EXPECT_TRUE(WaitUntil([&] { return CodeField(g) != codeRead; }));
  EXPECT_FALSE(Screenshot("app-main-scale2-after-write").empty());

  // Escape once the Write is over (Read is enabled again: its caption dark).
  EXPECT_TRUE(WaitUntil([&] {
    const Geometry r = Scaled(g, 105, 70, 32, 15);
    return DarkPixels(r.x + r.width / 4, r.y + r.height / 4, r.width / 2, r.height / 2) > 0;
  }));
  Keys(main, "Escape");
  EXPECT_EQ(program.Wait(15s), 0);
  cam.reset();
}

}  // namespace
