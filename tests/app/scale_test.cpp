// The real program laid out at scale 2 (this binary's setting is 2, as
// CORVANE_SCALE=2 gives the program; headless): its dialogs are the classic layout doubled,
// and the error box and the icon metrics grow with them.
#include "platform/ui/model/scale.h"

#include <cstdlib>

#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"
#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

using platform::ui::DialogUnitsToPixelsX;
using platform::ui::DialogUnitsToPixelsY;

// Every control of `top` sits where its template puts it at scale 2, which
// is within a pixel of its classic place doubled.
void ExpectTemplateDoubled(Driver& d, HWND top, int templateId) {
  const platform::ui::DialogTemplate* t = platform::ui::FindDialogTemplate(templateId);
  ASSERT_NE(t, nullptr);
  auto snap = d.Snapshot(top);
  ASSERT_EQ(snap.children.size(), t->items.size());
  for (std::size_t i = 0; i < t->items.size(); ++i) {
    const auto& item = t->items[i];
    const RECT& r = snap.children[i].rect;
    SCOPED_TRACE("control " + std::to_string(i) + " \"" + item.text + "\"");
    EXPECT_EQ(r.left, DialogUnitsToPixelsX(item.x, 2));
    EXPECT_EQ(r.top, DialogUnitsToPixelsY(item.y, 2));
    EXPECT_EQ(r.right - r.left, DialogUnitsToPixelsX(item.cx, 2));
    EXPECT_EQ(r.bottom - r.top, DialogUnitsToPixelsY(item.cy, 2));
    EXPECT_NEAR(r.left, 2 * DialogUnitsToPixelsX(item.x, 1), 1);
    EXPECT_NEAR(r.top, 2 * DialogUnitsToPixelsY(item.y, 1), 1);
    EXPECT_NEAR(r.right - r.left, 2 * DialogUnitsToPixelsX(item.cx, 1), 1);
    EXPECT_NEAR(r.bottom - r.top, 2 * DialogUnitsToPixelsY(item.cy, 1), 1);
  }
}

TEST(ScaledProgram, AtScaleTwoTheDialogsAndTheErrorBoxAreTheClassicLayoutDoubled) {
  platform::ui::SetScaleSetting("2");
  ASSERT_EQ(platform::ui::DisplayScale(), 2.0) << "decided before the setting was given";
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), 64);
  EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), 32);
  Ports ports;
  ports.Attach(1);
  Driver d;
  ProgramRun run(d);
  HWND about = run.WaitAbout();
  ASSERT_NE(about, nullptr);
  ExpectTemplateDoubled(d, about, IDD_ABOUT);
  d.Click(about, IDOK);
  HWND main = run.WaitMain();
  ASSERT_NE(main, nullptr);
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 801);
  EXPECT_EQ(client.bottom, 292);
  ExpectTemplateDoubled(d, main, IDD_TESTER);

  // A bad address character: the error box, with its icon and OK button
  // at twice their classic 32 x 32 and 75 x 23 pixels.
  SetField(d, main, IDC_ADDRESS, "G7");
  d.ClickNoWait(main, IDC_READ);
  auto box = d.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  auto snap = d.Snapshot(box.hwnd);
  ASSERT_EQ(snap.children.size(), 3u);  // icon, text, OK
  const RECT& icon = snap.children[0].rect;
  const RECT& ok = snap.children[2].rect;
  EXPECT_EQ(icon.left, 24);
  EXPECT_EQ(icon.right - icon.left, 64);
  EXPECT_EQ(ok.right - ok.left, 150);
  EXPECT_EQ(ok.bottom - ok.top, 46);
  EXPECT_EQ(snap.self.rect.bottom - snap.self.rect.top, ok.bottom + 24);
  EXPECT_TRUE(d.CloseBox(box));
}

}  // namespace
}  // namespace apptest
