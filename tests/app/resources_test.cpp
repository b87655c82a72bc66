// The program's resources: the two dialog templates control by control
// against the tables they are built from, the icon in both sizes in the
// sixteen colours of the palette with real transparency, and its PNG
// export, which an independent decoder (ImageMagick) reads back pixel for
// pixel.
#include "platform/ui/model/resources.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>

#include "res/PngWriter.h"
#include "res/Resources.h"
#include "res/resource.h"
#include "testing/process.h"
#include "testing/temp_dir.h"

namespace {

using platform::ui::DialogItemTemplate;
using platform::ui::DialogTemplate;

// What a control of a template is, by its class and the type bits of its
// style.
enum class Kind {
  kPushButton,
  kDefPushButton,
  kAuto3State,
  kLText,  // static text, left-aligned
  kIcon,
  kEdit,
  kGroupBox,
  kOther,
};

Kind KindOf(const DialogItemTemplate& item) {
  const DWORD type = item.style & 0xF;
  if (item.className == "EDIT") return Kind::kEdit;
  if (item.className == "STATIC") {
    return type == SS_ICON ? Kind::kIcon : type == SS_LEFT ? Kind::kLText : Kind::kOther;
  }
  if (item.className != "BUTTON") return Kind::kOther;
  switch (type) {
    case BS_DEFPUSHBUTTON:
      return Kind::kDefPushButton;
    case BS_AUTO3STATE:
      return Kind::kAuto3State;
    case BS_GROUPBOX:
      return Kind::kGroupBox;
    case BS_PUSHBUTTON:
      return Kind::kPushButton;
    default:
      return Kind::kOther;
  }
}

// One row of a control table. caption null: a text of the program's own
// choosing, which must not be empty. set: style bits the control has;
// clear: bits it must not have.
struct Row {
  int id;
  Kind kind;
  const char* caption;
  int x, y, cx, cy;
  DWORD set, clear;
};

void ExpectControls(const DialogTemplate& t, const std::vector<Row>& rows) {
  ASSERT_EQ(t.items.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    const DialogItemTemplate& item = t.items[i];
    SCOPED_TRACE("control " + std::to_string(i) + " (" + std::to_string(r.id) + ")");
    EXPECT_EQ(item.id, r.id);
    EXPECT_EQ(KindOf(item), r.kind);
    if (r.caption) {
      EXPECT_EQ(item.text, r.caption);
    } else {
      EXPECT_FALSE(item.text.empty());
    }
    EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}),
              (std::vector<int>{r.x, r.y, r.cx, r.cy}));
    EXPECT_EQ(item.style & r.set, r.set) << std::hex << item.style;
    EXPECT_EQ(item.style & r.clear, 0u) << std::hex << item.style;
  }
}

constexpr DWORD kTab = WS_TABSTOP, kGroup = WS_GROUP, kOff = WS_DISABLED;
// Every edit: border, centred, scrolling; none converts to upper case.
constexpr DWORD kEdit = WS_BORDER | ES_CENTER | ES_AUTOHSCROLL;
constexpr DWORD kNoCase = ES_UPPERCASE | ES_LOWERCASE;

TEST(TemplateTest, AboutBoxHasItsControlsWhereTheTableSays) {
  corvane::RegisterCorvaneResources();
  const DialogTemplate* t = platform::ui::FindDialogTemplate(IDD_ABOUT);
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(t->extended);
  const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  EXPECT_EQ(t->style & frame, frame);
  EXPECT_EQ((std::vector<int>{t->x, t->y, t->cx, t->cy}), (std::vector<int>{0, 0, 282, 186}));
  EXPECT_EQ(t->title, "About Corvane v. 2.0");
  EXPECT_EQ(t->fontName, "MS Sans Serif");
  EXPECT_EQ(t->fontPoints, 8);
  ExpectControls(*t, {
                         {-1, Kind::kLText, nullptr, 40, 5, 119, 8, SS_NOPREFIX | kGroup, 0},
                         {IDOK, Kind::kDefPushButton, "OK", 235, 10, 32, 14, kTab | kGroup, 0},
                         {-1, Kind::kIcon, "", 11, 17, 20, 20, 0, 0},
                         {-1, Kind::kLText, nullptr, 40, 20, 100, 8, kGroup, 0},
                         {-1, Kind::kLText, nullptr, 40, 35, 100, 8, kGroup, 0},
                         {-1, Kind::kLText, nullptr, 15, 50, 250, 20, kGroup, 0},
                         {-1, Kind::kLText, nullptr, 15, 70, 250, 25, kGroup, 0},
                         {-1, Kind::kLText, nullptr, 15, 95, 250, 25, kGroup, 0},
                         {-1, Kind::kLText, nullptr, 15, 120, 250, 25, kGroup, 0},
                         {-1, Kind::kLText, nullptr, 15, 144, 250, 19, kGroup, 0},
                     });
  EXPECT_EQ(t->items[2].iconId, IDI_TESTER);
}

TEST(TemplateTest, TesterDialogHasItsControlsInTabOrderWhereTheTableSays) {
  corvane::RegisterCorvaneResources();
  const DialogTemplate* t = platform::ui::FindDialogTemplate(IDD_TESTER);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->extended);
  const DWORD frame = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
  EXPECT_EQ(t->style & frame, frame);
  EXPECT_EQ(t->style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME | WS_THICKFRAME), 0u);
  EXPECT_EQ(t->exStyle & WS_EX_APPWINDOW, static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ((std::vector<int>{t->x, t->y, t->cx, t->cy}), (std::vector<int>{0, 0, 267, 90}));
  EXPECT_EQ(t->title, "Corvane v. 2.0");
  EXPECT_EQ(t->fontName, "MS Sans Serif");
  EXPECT_EQ(t->fontPoints, 8);
  ExpectControls(
      *t,
      {
          {IDC_READ, Kind::kPushButton, "Read", 105, 70, 32, 15, kTab, kOff},
          {IDC_WRITE, Kind::kPushButton, "Write", 155, 70, 30, 15, kTab | kOff, 0},
          {IDC_COM1, Kind::kAuto3State, "Com1", 205, 10, 10, 10, kTab, kOff},
          {IDC_COM2, Kind::kAuto3State, "Com2", 205, 25, 8, 10, kTab, kOff},
          {IDC_COM3, Kind::kAuto3State, "Com3", 205, 40, 10, 10, kTab, kOff},
          {IDC_COM4, Kind::kAuto3State, "Com4", 205, 55, 10, 10, kTab, kOff},
          {-1, Kind::kLText, "COM 1", 221, 10, 34, 10, kGroup, 0},
          {-1, Kind::kLText, "COM 2", 221, 25, 34, 10, kGroup, 0},
          {-1, Kind::kLText, "COM 3", 221, 40, 34, 10, kGroup, 0},
          {-1, Kind::kLText, "COM 4", 221, 55, 34, 10, kGroup, 0},
          {IDC_REF_ADDRESS, Kind::kEdit, "", 65, 25, 20, 12, kEdit | ES_READONLY, kTab | kNoCase},
          {IDC_ADDRESS, Kind::kEdit, "", 65, 45, 20, 12, kEdit | kTab, ES_READONLY | kNoCase},
          {IDC_REF_CODE, Kind::kEdit, "", 109, 25, 20, 12, kEdit | ES_READONLY, kTab | kNoCase},
          {IDC_CODE, Kind::kEdit, "", 109, 45, 20, 12, kEdit | ES_READONLY, kTab | kNoCase},
          {IDC_NEW_CODE, Kind::kEdit, "", 159, 45, 20, 12, kEdit, kTab | ES_READONLY | kNoCase},
          {-1, Kind::kGroupBox, "Address", 55, 10, 40, 55, 0, 0},
          {-1, Kind::kGroupBox, "Code", 99, 10, 90, 55, 0, 0},
          {-1, Kind::kGroupBox, "Page", 10, 10, 40, 55, 0, 0},
          {IDC_REF_PAGE, Kind::kEdit, "", 20, 25, 20, 12, kEdit | ES_READONLY, kTab | kNoCase},
          {IDC_PAGE, Kind::kEdit, "", 20, 45, 20, 12, kEdit | ES_NUMBER,
           kTab | ES_READONLY | kNoCase},
      });
}

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
  std::string out;
  if (testsupport::Run({"convert", "-version"}, {}, &out) != 0) GTEST_SKIP() << "no ImageMagick";
  testsupport::TempDir dir("png");
  for (int size : {32, 16}) {
    platform::ui::IconImage img = corvane::TesterIconImage(size);
    std::string png = dir.File("icon.png"), raw = dir.File("icon.rgba");
    ASSERT_TRUE(corvane::WritePng(img, png));
    ASSERT_EQ(testsupport::Run({"convert", png, "-depth", "8", "rgba:" + raw}), 0);
    std::FILE* f = std::fopen(raw.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> decoded(img.rgba.size() + 1);
    std::size_t n = std::fread(decoded.data(), 1, decoded.size(), f);
    std::fclose(f);
    ASSERT_EQ(n, img.rgba.size());
    decoded.resize(n);
    EXPECT_EQ(decoded, img.rgba) << size;
  }
}

}  // namespace
