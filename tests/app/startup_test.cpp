// Start-up and the window-level behaviour: the About box first, the probe
// after it, the defaults, the system-menu item, the icons, the painting
// while minimised, and the ways the program ends.
#include "platform/ui/model/backend.h"
#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"
#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

using platform::ui::TopLevelSnapshot;
using platform::ui::WindowKind;
using platform::ui::WindowSnapshot;

const WindowSnapshot* Child(const TopLevelSnapshot& s, int id) {
  for (const auto& c : s.children)
    if (c.id == id) return &c;
  return nullptr;
}

TEST(StartupTest, AboutBoxComesFirstAndThePortsAreProbedOnlyAfterItCloses) {
  Ports ports;
  Driver d;
  ProgramRun run(d);
  HWND about = run.WaitAbout();
  ASSERT_NE(about, nullptr);

  // The main dialog exists but is not shown while the box is up.
  EXPECT_EQ(d.WaitTopLevel(corvane::kTesterTitle, Ms(0)), nullptr);
  // COM4 appears only now; if the probe had run already it would be missed.
  ports.Attach(4);
  d.Click(about, IDOK);
  HWND main = run.WaitMain();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(d.Enabled(main, IDC_COM4));
  EXPECT_EQ(d.Check(main, IDC_COM4), BST_CHECKED);
  EXPECT_TRUE(d.Focused(main, IDC_READ));
}

TEST(StartupTest, AboutBoxShowsItsTextsIconAndDefaultOkButton) {
  Ports ports;
  Driver d;
  ProgramRun run(d);
  HWND about = run.WaitAbout();
  ASSERT_NE(about, nullptr);
  TopLevelSnapshot s = d.Snapshot(about);
  EXPECT_EQ(s.self.text, "About Corvane v. 2.0");
  ASSERT_EQ(s.children.size(), 10u);
  // The version line, the author (no person), the contact, five paragraphs.
  EXPECT_NE(s.children[0].text.find("2.0"), std::string::npos);
  EXPECT_NE(s.children[3].text.find("the Corvane developers"), std::string::npos);
  EXPECT_EQ(s.children[4].text.find('@'), std::string::npos);
  for (int i = 5; i < 10; ++i) EXPECT_FALSE(s.children[static_cast<std::size_t>(i)].text.empty());
  EXPECT_NE(s.children[5].text.find("non-commercial"), std::string::npos);
  EXPECT_NE(s.children[7].text.find("warranty"), std::string::npos);
  EXPECT_NE(s.children[8].text.find("liability"), std::string::npos);

  const WindowSnapshot* ok = Child(s, IDOK);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text, "OK");
  EXPECT_TRUE(ok->defaultButton);
  EXPECT_TRUE(ok->focused);
  // The icon control shows the program's icon, 20 x 20 units at (11, 17).
  const WindowSnapshot& icon = s.children[2];
  EXPECT_EQ(icon.kind, WindowKind::kIcon);
  EXPECT_EQ(icon.icon, platform::ui::FindIcon(IDI_TESTER));
  EXPECT_EQ(icon.rect.left, platform::ui::DialogUnitsToPixelsX(11));
  EXPECT_EQ(icon.rect.top, platform::ui::DialogUnitsToPixelsY(17));
  EXPECT_EQ(s.self.rect.right - s.self.rect.left, platform::ui::DialogUnitsToPixelsX(282));
  EXPECT_EQ(s.self.rect.bottom - s.self.rect.top, platform::ui::DialogUnitsToPixelsY(186));
}

TEST(StartupTest, OkEscapeAndTheCloseBoxEachEndTheAboutBoxAndBringUpTheMainDialog) {
  Ports ports;
  Driver d;
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    ProgramRun run(d);
    HWND about = run.WaitAbout();
    ASSERT_NE(about, nullptr);
    if (way == 0) d.Enter(about);  // the default button
    if (way == 1) d.Escape(about);
    if (way == 2) d.CloseBox(about);
    HWND main = run.WaitMain();
    ASSERT_NE(main, nullptr);
    // Ending the dialog ends the program; the next run starts afresh.
    d.Escape(main);
    ASSERT_TRUE(run.WaitEnded());
    EXPECT_EQ(run.result(), FALSE);
  }
}

TEST(StartupTest, DefaultsLimitsAndTabOrder) {
  Ports ports;
  for (int n = 1; n <= 4; ++n) ports.Attach(n);
  Driver d;
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);

  EXPECT_EQ(d.Text(main, IDC_REF_PAGE), "0");
  EXPECT_EQ(d.Text(main, IDC_REF_ADDRESS), "F8");
  EXPECT_EQ(d.Text(main, IDC_PAGE), "0");
  EXPECT_EQ(d.Text(main, IDC_ADDRESS), "F7");
  EXPECT_EQ(d.Text(main, IDC_REF_CODE), "");
  EXPECT_EQ(d.Text(main, IDC_CODE), "");
  EXPECT_EQ(d.Text(main, IDC_NEW_CODE), "");
  EXPECT_FALSE(d.Enabled(main, IDC_WRITE));
  EXPECT_TRUE(d.Enabled(main, IDC_READ));
  EXPECT_EQ(d.FocusId(main), IDC_READ);
  // All four present: all enabled, only COM1 marked.
  EXPECT_EQ(d.Check(main, IDC_COM1), BST_CHECKED);
  for (int id : {IDC_COM2, IDC_COM3, IDC_COM4}) {
    EXPECT_TRUE(d.Enabled(main, id));
    EXPECT_EQ(d.Check(main, id), BST_UNCHECKED);
  }

  // Tab visits the enabled tab stops in template order: Write is skipped
  // while disabled, the page and the new code never.
  std::vector<int> order;
  for (int i = 0; i < 7; ++i) {
    d.Tab(main);
    order.push_back(d.FocusId(main));
  }
  EXPECT_EQ(order, (std::vector<int>{IDC_COM1, IDC_COM2, IDC_COM3, IDC_COM4, IDC_ADDRESS, IDC_READ,
                                     IDC_COM1}));

  // Limits: two characters of address and new code (lower case passes the
  // edit), one digit of page.
  SetField(d, main, IDC_ADDRESS, "abc");
  EXPECT_EQ(d.Text(main, IDC_ADDRESS), "ab");
  SetField(d, main, IDC_NEW_CODE, "3c9");
  EXPECT_EQ(d.Text(main, IDC_NEW_CODE), "3c");
  SetField(d, main, IDC_PAGE, "x12");
  EXPECT_EQ(d.Text(main, IDC_PAGE), "1");
  // The read-only fields take no typing.
  d.Click(main, IDC_REF_ADDRESS);
  d.Type(main, "\b7");
  EXPECT_EQ(d.Text(main, IDC_REF_ADDRESS), "F8");
}

TEST(StartupTest, SystemMenuEndsWithTheAboutItemWhichShowsTheBoxOverTheDialog) {
  Ports ports;
  Driver d;
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);

  // The About item, after a separator, is followed only by the memory map's.
  auto items = d.OpenSystemMenu(main);
  ASSERT_GE(items.size(), 3u);
  EXPECT_TRUE(items[items.size() - 3].separator);
  EXPECT_EQ(items[items.size() - 2].text, "&About Corvane...");
  EXPECT_EQ(items[items.size() - 2].id, static_cast<UINT>(IDM_ABOUT));
  EXPECT_EQ(items.back().text, "Memory map...");
  EXPECT_EQ(items.back().id, static_cast<UINT>(IDM_MEMORYMAP));

  for (int again = 0; again < 2; ++again) {
    if (again) d.OpenSystemMenu(main);
    d.PickSystemMenuItem(main, IDM_ABOUT);
    HWND about = run.WaitAbout();
    ASSERT_NE(about, nullptr);
    // Modal: the main dialog takes no input meanwhile.
    EXPECT_FALSE(d.Snapshot(main).self.enabled);
    d.Click(main, IDC_READ);
    EXPECT_NE(d.WaitTopLevel(corvane::AboutTexts::kTitle, Ms(0)), nullptr);
    d.Click(about, IDOK);
    EXPECT_TRUE(d.WaitGone(about));
    EXPECT_TRUE(d.Snapshot(main).self.enabled);
  }
  // Other system commands keep their usual meaning: Close ends the program.
  d.OpenSystemMenu(main);
  d.PickSystemMenuItem(main, SC_CLOSE);
  EXPECT_TRUE(run.WaitEnded());
}

TEST(StartupTest, IconsDragIconAndTheIconCentredWhileMinimised) {
  Ports ports;
  Driver d;
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  HICON icon = platform::ui::FindIcon(IDI_TESTER);
  ASSERT_NE(icon, nullptr);
  TopLevelSnapshot s = d.Snapshot(main);
  EXPECT_EQ(s.bigIcon, icon);
  EXPECT_EQ(s.smallIcon, icon);
  EXPECT_TRUE(s.self.exStyle & WS_EX_APPWINDOW);  // its own task-bar button

  // WM_QUERYDRAGICON, sent from another thread, gives the icon.
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(main, WM_QUERYDRAGICON, 0, 0)), icon);

  // The dialog has no minimise box: it is minimised from outside (its
  // task-bar button), as the window manager tells the backend.
  ASSERT_TRUE(platform::ui::PostIconic(main, true));
  ASSERT_TRUE(platform::ui::PostPaint(main));
  ASSERT_TRUE(d.WaitIdleFor(main));
  s = d.Snapshot(main);
  ASSERT_TRUE(s.iconic);
  ASSERT_EQ(s.painted.size(), 1u);
  RECT client{};
  GetClientRect(main, &client);
  int cw = client.right - client.left, ch = client.bottom - client.top;
  const auto& drawn = s.painted[0];
  EXPECT_EQ(drawn.icon, icon);
  EXPECT_EQ(drawn.x, (cw - GetSystemMetrics(SM_CXICON) + 1) / 2);
  EXPECT_EQ(drawn.y, (ch - GetSystemMetrics(SM_CYICON) + 1) / 2);

  // Restored, the dialog paints as usual and draws no icon of its own.
  ASSERT_TRUE(platform::ui::PostIconic(main, false));
  ASSERT_TRUE(platform::ui::PostPaint(main));
  ASSERT_TRUE(d.WaitIdleFor(main));
  EXPECT_TRUE(d.Snapshot(main).painted.empty());
}

}  // namespace
}  // namespace apptest
