// The display scale's rules: what CORVANE_SCALE and Xft.dpi give, how half
// pixels round, and a bad setting. (The model laid out at scale 2 is
// tested with the real program in tests/app/scale_test.cpp.)
#include "platform/ui/model/scale.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix/diagnostics.h"
#include "platform/ui/model/windows.h"

namespace {

using platform::ui::ParseScaleSetting;
using platform::ui::ScaleFromXftDpi;
using platform::ui::ScalePixels;

TEST(ScaleRules, TheSettingIsADecimalNumberFromOneToFour) {
  for (auto [text, scale] :
       {std::pair{"1", 1.0}, {"1.5", 1.5}, {"2", 2.0}, {"1.25", 1.25}, {"4", 4.0}, {"3.0", 3.0}}) {
    EXPECT_EQ(ParseScaleSetting(text), scale) << text;
  }
  for (const char* bad :
       {"", "0", "0.5", "4.5", "-2", "2x", " 2", "2 ", "+2", "0x2", "abc", "nan", "inf", "1,5"}) {
    EXPECT_FALSE(ParseScaleSetting(bad)) << '"' << bad << '"';
  }
}

TEST(ScaleRules, XftDpiIsDividedBy96AndRoundedToAQuarterWithinOneToFour) {
  for (auto [dpi, scale] : {std::pair{"96", 1.0},
                            {"192", 2.0},
                            {"144", 1.5},
                            {"120", 1.25},
                            {"110", 1.25},
                            {"100.8", 1.0},
                            {" 168 ", 1.75},
                            {"72", 1.0},
                            {"480", 4.0}}) {
    EXPECT_EQ(ScaleFromXftDpi(dpi), scale) << dpi;
  }
  for (const char* bad : {"", "0", "-96", "high", "96dpi"}) {
    EXPECT_FALSE(ScaleFromXftDpi(bad)) << '"' << bad << '"';
  }
}

TEST(ScaleRules, AHalfPixelRoundsTowardsTheClassicLayoutMagnified) {
  // Scale 1 is the classic layout: halves round up.
  EXPECT_EQ(ScalePixels(400.5, 1), 401);
  EXPECT_EQ(ScalePixels(146.25, 1), 146);
  EXPECT_EQ(ScalePixels(6.5, 1), 7);
  // The main dialog, 267 x 90 dialog units, doubled: 801 x 292 (292.5 goes
  // to 2 x 146), and its Read button at 105, 70: 315, 228 (227.5 goes to
  // 2 x 114).
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsX(267, 2), 801);
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsY(90, 2), 292);
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsX(105, 2), 315);
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsY(70, 2), 228);
  EXPECT_EQ(ScalePixels(13, 1.5), 20);  // 19.5: towards 13 x 1.5 = 19.5, so up
  EXPECT_EQ(ScalePixels(3.5, 3), 11);   // 10.5: towards 4 x 3 = 12
}

TEST(ScaleSetting, ABadValueIsReportedOnStandardErrorAndGivesScaleOne) {
  // A process of its own, so that its scale is decided afresh.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  platform::ui::SetScaleSetting("9");
  EXPECT_EXIT(std::exit(platform::ui::DisplayScale() == 1 && platform::ui::Px(13) == 13 ? 0 : 1),
              testing::ExitedWithCode(0),
              "CORVANE_SCALE=\"9\" is not a number from 1 to 4; using scale 1");
  platform::ui::SetScaleSetting(std::nullopt);
}

void SayReceived(const std::string& text) {
  std::fprintf(stderr, "handler got: %s\n", text.c_str());
}

TEST(ScaleSetting, ABadValueGoesToTheProgramsDiagnosticsHandler) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  platform::SetDiagnosticsHandler(&SayReceived);
  platform::ui::SetScaleSetting("0");
  EXPECT_EXIT(std::exit(platform::ui::DisplayScale() == 1 ? 0 : 1), testing::ExitedWithCode(0),
              "handler got: CORVANE_SCALE=\"0\" is not a number from 1 to 4; using scale 1");
  platform::ui::SetScaleSetting(std::nullopt);
  platform::SetDiagnosticsHandler(nullptr);
}

}  // namespace
