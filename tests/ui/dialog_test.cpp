// Modal dialogs: DoModal and EndDialog, the order of initialisation and
// showing, the dialog manager's keys, the close box, the system menu, icons,
// the minimised painting, and the template's dialog units in pixels.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/windows.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;
using testsupport::ui::Driver;

// The setup of a DialogRunner that gives the test dialog a small template
// of its own with these controls.
std::function<void(TestDlg*)> WithTemplate(int id,
                                           std::vector<platform::ui::DialogItemTemplate> items) {
  platform::ui::DialogTemplate t;
  t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  t.cx = 100;
  t.cy = 50;
  t.title = kTitle;
  t.items = std::move(items);
  return [id, t](TestDlg* d) {
    platform::ui::RegisterDialogTemplate(id, t);
    d->m_nIDTemplate = id;
  };
}

TEST(DoModal, ShowsTheDialogOnlyAfterOnInitDialogAndEndDialogGivesTheResult) {
  Driver driver;
  DialogRunner run([](TestDlg* d) { d->onRead = [](TestDlg* self) { self->EndDialog(77); }; });
  HWND dlg = run.Wait(driver);
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(run.log().initDone.load());
  EXPECT_FALSE(run.log().visibleInInit.load());
  EXPECT_TRUE(IsWindowVisible(dlg));
  // DDX_Control bound the members to the controls.
  EXPECT_EQ(run.dlg()->m_btnRead.m_hWnd, GetDlgItem(dlg, IDC_READ));
  EXPECT_EQ(CWnd::FromHandle(GetDlgItem(dlg, IDC_PAGE)), &run.dlg()->m_editPage);
  // OnInitDialog returned TRUE: the first enabled tab stop has the focus.
  EXPECT_EQ(driver.FocusId(dlg), IDC_READ);
  EXPECT_EQ(driver.Text(dlg, IDC_ADDRESS), "F7");
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), 77);
  EXPECT_FALSE(IsWindow(dlg));
  // The window is gone and the members are unbound.
  EXPECT_EQ(run.dlg()->m_hWnd, nullptr);
  EXPECT_EQ(run.dlg()->m_btnRead.m_hWnd, nullptr);
}

TEST(DoModal, WithoutATemplateGivesMinusOne) {
  CDialog dlg(4242);
  EXPECT_EQ(dlg.DoModal(), -1);
}

TEST(DialogManager, EnterOutsideAPushButtonEndsWithIdOk) {
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  ASSERT_TRUE(driver.Click(dlg, IDC_ADDRESS));
  EXPECT_EQ(driver.FocusId(dlg), IDC_ADDRESS);
  ASSERT_TRUE(driver.Enter(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDOK);
}

TEST(DialogManager, EnterOnAFocusedPushButtonClicksItAndTheDialogStays) {
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  ASSERT_EQ(driver.FocusId(dlg), IDC_READ);
  ASSERT_TRUE(driver.Enter(dlg));
  EXPECT_EQ(run.log().readClicks.load(), 1);
  EXPECT_FALSE(run.done());
  // Space on the focused button clicks it too.
  ASSERT_TRUE(driver.Space(dlg));
  EXPECT_EQ(run.log().readClicks.load(), 2);
  // Space holds the button down (drawn pressed) and clicks as it is let go;
  // let go after the focus moved on, it clicks nothing.
  ASSERT_TRUE(driver.Key(dlg, VK_SPACE));
  EXPECT_TRUE(driver.Snapshot(dlg).children[0].pushed);
  EXPECT_EQ(run.log().readClicks.load(), 2);
  ASSERT_TRUE(driver.KeyUp(dlg, VK_SPACE));
  EXPECT_FALSE(driver.Snapshot(dlg).children[0].pushed);
  EXPECT_EQ(run.log().readClicks.load(), 3);
  // Held down (repeated presses marked as repeats, one release), Enter
  // clicks on its press and Space on its release, once each.
  for (UINT vk : {VK_RETURN, VK_SPACE}) {
    ASSERT_TRUE(driver.Key(dlg, vk));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(driver.KeyRepeat(dlg, vk));
    ASSERT_TRUE(driver.KeyUp(dlg, vk));
  }
  EXPECT_EQ(run.log().readClicks.load(), 5);
  ASSERT_TRUE(driver.Key(dlg, VK_SPACE));
  ASSERT_TRUE(driver.Tab(dlg));
  ASSERT_TRUE(driver.KeyUp(dlg, VK_SPACE));
  EXPECT_FALSE(driver.Snapshot(dlg).children[0].pushed);
  EXPECT_EQ(run.log().readClicks.load(), 5);
  // Enter on a focused check box is OK, not a click.
  ASSERT_TRUE(driver.Click(dlg, IDC_COM1));
  ASSERT_TRUE(driver.Enter(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDOK);
}

// Space held on Read while Tab moves the focus to Write: the repeats that
// reach Write do not hold it down, and letting go clicks neither button.
TEST(DialogManager, SpaceHeldWhileTheFocusMovesClicksNoButton) {
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  EnableWindow(GetDlgItem(dlg, IDC_WRITE), TRUE);
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  ASSERT_EQ(driver.FocusId(dlg), IDC_READ);
  ASSERT_TRUE(driver.Key(dlg, VK_SPACE));
  ASSERT_TRUE(driver.KeyRepeat(dlg, VK_SPACE));
  ASSERT_TRUE(driver.Tab(dlg));
  ASSERT_EQ(driver.FocusId(dlg), IDC_WRITE);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(driver.KeyRepeat(dlg, VK_SPACE));
  EXPECT_FALSE(driver.Snapshot(dlg).children[1].pushed);
  ASSERT_TRUE(driver.KeyUp(dlg, VK_SPACE));
  EXPECT_EQ(run.log().readClicks.load(), 0);
  {
    std::lock_guard<std::mutex> lock(run.log().mu);
    for (const auto& [id, code] : run.log().commands) EXPECT_NE(id, IDC_WRITE) << code;
  }
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

TEST(DialogManager, EscapeEndsWithIdCancel) {
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  // The repeats of an Escape held as a box closed end nothing.
  ASSERT_TRUE(driver.KeyRepeat(dlg, VK_ESCAPE));
  EXPECT_FALSE(run.done());
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
}

TEST(DialogManager, TheCloseBoxIsCancelAndTheClassMayKeepTheDialog) {
  Driver driver;
  DialogRunner run([](TestDlg* d) { d->cancelEnds = false; });
  HWND dlg = run.Wait(driver);
  ASSERT_TRUE(driver.CloseBox(dlg));
  ASSERT_TRUE(driver.Escape(dlg));
  EXPECT_FALSE(run.done());
  EXPECT_TRUE(IsWindowVisible(dlg));
  run.dlg()->cancelEnds = true;  // read on the dialog thread after the next post
  ASSERT_TRUE(driver.CloseBox(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
  std::lock_guard<std::mutex> lock(run.log().mu);
  EXPECT_EQ(run.log().sysCommands, (std::vector<UINT>{SC_CLOSE, SC_CLOSE}));
}

TEST(DialogManager, TabVisitsEnabledTabStopsInTemplateOrder) {
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  ASSERT_EQ(driver.FocusId(dlg), IDC_READ);
  // Write is disabled; the read-only, new-code and page edits are no tab
  // stops; statics and the group box take no focus.
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(driver.Tab(dlg));
    seen.push_back(driver.FocusId(dlg));
  }
  EXPECT_EQ(seen, (std::vector<int>{IDC_COM1, IDC_COM2, IDC_ADDRESS, IDC_READ, IDC_COM1}));
  seen.clear();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(driver.ShiftTab(dlg));
    seen.push_back(driver.FocusId(dlg));
  }
  EXPECT_EQ(seen, (std::vector<int>{IDC_READ, IDC_ADDRESS, IDC_COM2}));
  // Enabling Write and disabling COM2 changes the round.
  SendMessageA(dlg, WM_NULL, 0, 0);
  EnableWindow(GetDlgItem(dlg, IDC_WRITE), TRUE);
  EnableWindow(GetDlgItem(dlg, IDC_COM2), FALSE);
  // The focus leaves the disabled control for the first tab stop.
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_EQ(driver.FocusId(dlg), IDC_READ);
  seen.clear();
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(driver.Tab(dlg));
    seen.push_back(driver.FocusId(dlg));
  }
  EXPECT_EQ(seen, (std::vector<int>{IDC_WRITE, IDC_COM1, IDC_ADDRESS, IDC_READ}));
  // The edit reached with Tab has its text selected.
  platform::ui::WindowSnapshot s;
  ASSERT_TRUE(platform::ui::SnapshotWindow(GetDlgItem(dlg, IDC_ADDRESS), &s));
  EXPECT_EQ(s.selStart, 0);
  EXPECT_EQ(s.selEnd, 2);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

// Up, Down, Left and Right move between the buttons and boxes of a group
// (Read to COM2 here; the static after them starts the next group), skipping
// the disabled Write; an edit keeps them for its caret.
TEST(DialogManager, ArrowsMoveWithinAGroupOfButtons) {
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  ASSERT_EQ(driver.FocusId(dlg), IDC_READ);
  std::vector<int> seen;
  for (UINT vk : {VK_DOWN, VK_RIGHT, VK_DOWN, VK_UP, VK_LEFT}) {
    ASSERT_TRUE(driver.Key(dlg, vk));
    seen.push_back(driver.FocusId(dlg));
  }
  EXPECT_EQ(seen, (std::vector<int>{IDC_COM1, IDC_COM2, IDC_READ, IDC_COM2, IDC_COM1}));
  ASSERT_TRUE(driver.Click(dlg, IDC_ADDRESS));
  ASSERT_TRUE(driver.Key(dlg, VK_LEFT));
  EXPECT_EQ(driver.FocusId(dlg), IDC_ADDRESS);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

// A command disables its button while it runs and may show a box. The
// button keeps the focus meanwhile, so a key meant for the box that reaches
// the dialog is lost instead of ending it; once the command has ended, the
// button that ran it has the focus again (or, if it stays disabled, the
// first tab stop), and Enter or Space repeats the command.
TEST(DialogFocus, TheButtonThatRanACommandHasTheFocusAgainWhenItEnds) {
  Driver driver;
  std::atomic<bool> showBox{true}, staysDisabled{false};
  DialogRunner run([&](TestDlg* d) {
    d->onRead = [&](TestDlg* self) {
      self->m_btnRead.EnableWindow(FALSE);
      if (showBox) MessageBoxA(NULL, "Failed.\r\n", "Application Error", MB_ICONERROR);
      if (!staysDisabled) self->m_btnRead.EnableWindow(TRUE);
    };
  });
  HWND dlg = run.Wait(driver);
  ASSERT_EQ(driver.FocusId(dlg), IDC_READ);
  driver.KeyNoWait(dlg, VK_RETURN);
  testsupport::ui::OpenBox box = driver.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  // The new box has the keyboard; the dialog's focus stays on Read.
  EXPECT_EQ(driver.FocusId(box.hwnd), IDOK);
  EXPECT_EQ(driver.FocusId(dlg), IDC_READ);
  ASSERT_TRUE(driver.Enter(dlg));
  ASSERT_TRUE(driver.Escape(dlg));
  EXPECT_FALSE(run.done());
  EXPECT_EQ(driver.OpenBoxes().size(), 1u);
  ASSERT_TRUE(driver.Enter(box.hwnd));
  ASSERT_TRUE(driver.WaitGone(box.hwnd));
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_EQ(driver.FocusId(dlg), IDC_READ);

  showBox = false;
  ASSERT_TRUE(driver.Enter(dlg));
  ASSERT_TRUE(driver.Space(dlg));
  EXPECT_EQ(run.log().readClicks.load(), 3);
  EXPECT_EQ(driver.FocusId(dlg), IDC_READ);
  staysDisabled = true;
  ASSERT_TRUE(driver.Enter(dlg));
  EXPECT_EQ(run.log().readClicks.load(), 4);
  EXPECT_EQ(driver.FocusId(dlg), IDC_COM1);
  EXPECT_FALSE(run.done());
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
}

// Keys that arrive while no control has the focus (here the dialog has none
// that takes it) go to no control: Enter and Escape end nothing; the close
// box still does.
TEST(DialogFocus, KeysWithNoFocusedControlNeverEndTheDialog) {
  Driver driver;
  DialogRunner run(WithTemplate(9004, {platform::ui::LText("No focus", -1, 5, 5, 90, 8)}));
  HWND dlg = run.Wait(driver);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(driver.FocusId(dlg), 0);
  ASSERT_TRUE(driver.Enter(dlg));
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(driver.Space(dlg));
  EXPECT_FALSE(run.done());
  ASSERT_TRUE(driver.CloseBox(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
}

TEST(SystemMenu, HoldsCloseAndTheAppendedItemsAndSendsTheChosenCommand) {
  Driver driver;
  std::atomic<int> abouts{0};
  DialogRunner run([&](TestDlg* d) { d->onAbout = [&](TestDlg*) { ++abouts; }; });
  HWND dlg = run.Wait(driver);
  auto items = driver.OpenSystemMenu(dlg);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].id, static_cast<UINT>(SC_CLOSE));
  EXPECT_TRUE(items[1].separator);
  EXPECT_EQ(items[2].id, IDM_ABOUT);
  EXPECT_EQ(items[2].text, "&About test...");
  ASSERT_TRUE(driver.PickSystemMenuItem(dlg, IDM_ABOUT));
  EXPECT_EQ(abouts.load(), 1);
  EXPECT_FALSE(driver.SystemMenuOpen(dlg));
  // An identifier that is not in the menu is not sent.
  ASSERT_TRUE(driver.PickSystemMenuItem(dlg, 1234));
  // A right click in the client area opens it too; Close ends the dialog.
  EXPECT_EQ(driver.RightClickSystemMenu(dlg).size(), 3u);
  ASSERT_TRUE(driver.PickSystemMenuItem(dlg, SC_CLOSE));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
  std::lock_guard<std::mutex> lock(run.log().mu);
  EXPECT_EQ(run.log().sysCommands, (std::vector<UINT>{IDM_ABOUT, SC_CLOSE}));
}

// The About item shows a second modal dialog over the main one: the main
// dialog takes no input meanwhile and works again afterwards.
TEST(SystemMenu, AModalDialogFromTheMenuDisablesItsOwner) {
  Driver driver;
  std::atomic<INT_PTR> aboutResult{0};
  DialogRunner run([&](TestDlg* d) {
    d->onAbout = [&](TestDlg* self) {
      AboutDlg about;
      about.m_pParentWnd = self;
      aboutResult = about.DoModal();
    };
  });
  HWND dlg = run.Wait(driver);
  ASSERT_FALSE(driver.OpenSystemMenu(dlg).empty());
  ASSERT_TRUE(driver.PickSystemMenuItem(dlg, IDM_ABOUT));
  HWND about = driver.WaitTopLevel(kAboutTitle);
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(IsWindowEnabled(dlg));
  EXPECT_EQ(driver.FocusId(about), IDOK);
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  ASSERT_TRUE(driver.CloseBox(dlg));
  EXPECT_EQ(run.log().readClicks.load(), 0);
  EXPECT_FALSE(run.done());
  // The icon control shows the registered icon.
  platform::ui::TopLevelSnapshot s = driver.Snapshot(about);
  bool iconShown = false;
  for (const auto& c : s.children) {
    iconShown |=
        c.kind == platform::ui::WindowKind::kIcon && c.icon == platform::ui::FindIcon(IDI_TEST);
  }
  EXPECT_TRUE(iconShown);
  ASSERT_TRUE(driver.Enter(about));
  EXPECT_TRUE(driver.WaitGone(about));
  EXPECT_EQ(aboutResult.load(), IDOK);
  EXPECT_TRUE(IsWindowEnabled(dlg));
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  EXPECT_EQ(run.log().readClicks.load(), 1);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

TEST(Icons, SetIconGivesBothSizesAndTheMinimisedPaintCentresTheIcon) {
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  HICON icon = platform::ui::FindIcon(IDI_TEST);
  ASSERT_NE(icon, nullptr);
  const platform::ui::Icon* data = platform::ui::IconFromHandle(icon);
  EXPECT_EQ(data->large.width, 32);
  EXPECT_EQ(data->small.width, 16);
  platform::ui::TopLevelSnapshot s = driver.Snapshot(dlg);
  EXPECT_EQ(s.bigIcon, icon);
  EXPECT_EQ(s.smallIcon, icon);
  EXPECT_EQ(SendMessageA(dlg, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
  EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);

  ASSERT_TRUE(platform::ui::PostIconic(dlg, true));
  ASSERT_TRUE(platform::ui::PostPaint(dlg));
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_TRUE(IsIconic(dlg));
  s = driver.Snapshot(dlg);
  ASSERT_EQ(s.painted.size(), 1u);
  RECT rc;
  GetClientRect(dlg, &rc);
  EXPECT_EQ(s.painted[0].x, (rc.right - 32 + 1) / 2);
  EXPECT_EQ(s.painted[0].y, (rc.bottom - 32 + 1) / 2);
  EXPECT_EQ(s.painted[0].icon, icon);
  // Restored: the default painting draws nothing of its own.
  ASSERT_TRUE(platform::ui::PostIconic(dlg, false));
  ASSERT_TRUE(platform::ui::PostPaint(dlg));
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_TRUE(driver.Snapshot(dlg).painted.empty());
  EXPECT_EQ(run.log().paints.load(), 2);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

TEST(Templates, DialogUnitsBecomePixelsFromTheClientOrigin) {
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsX(105), 158);  // 157.5
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsY(70), 114);   // 113.75
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsX(267), 401);  // 400.5
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsY(90), 146);   // 146.25
  EXPECT_EQ(platform::ui::DialogUnitsToPixelsY(8), 13);
  Driver driver;
  DialogRunner run;
  HWND dlg = run.Wait(driver);
  RECT r;
  GetWindowRect(GetDlgItem(dlg, IDC_READ), &r);
  EXPECT_EQ(r.left, 158);
  EXPECT_EQ(r.top, 114);
  EXPECT_EQ(r.right - r.left, 48);
  EXPECT_EQ(r.bottom - r.top, 24);
  GetClientRect(dlg, &r);
  EXPECT_EQ(r.right, 401);
  EXPECT_EQ(r.bottom, 146);
  platform::ui::TopLevelSnapshot s = driver.Snapshot(dlg);
  EXPECT_EQ(s.children.size(), 10u);
  EXPECT_EQ(s.children[2].kind, platform::ui::WindowKind::kCheckBox);
  EXPECT_EQ(s.children[8].kind, platform::ui::WindowKind::kGroupBox);
  EXPECT_TRUE(s.children[5].readOnly);
  EXPECT_TRUE(s.children[6].centred);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

}  // namespace

namespace {

using namespace uitest;
using testsupport::ui::Driver;

// Enter outside a push button gives the default push button's command when
// the template has one (here it is Read, not OK).
TEST(DialogManager, EnterOutsideAButtonGivesTheDefaultButtonsCommand) {
  Driver driver;
  DialogRunner run(WithTemplate(
      9003, {platform::ui::DefPushButton("Read", IDC_READ, 5, 5, 40, 14),
             platform::ui::EditText(IDC_ADDRESS, 5, 25, 40, 12, WS_BORDER | WS_TABSTOP)}));
  HWND dlg = run.Wait(driver);
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(driver.Click(dlg, IDC_ADDRESS));
  ASSERT_TRUE(driver.Enter(dlg));
  EXPECT_EQ(run.log().readClicks.load(), 1);
  EXPECT_FALSE(run.done());
  platform::ui::TopLevelSnapshot s = driver.Snapshot(dlg);
  EXPECT_TRUE(s.children[0].defaultButton);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(run.result(), IDCANCEL);
}

// Enter held in an edit runs the default button's command once, on its
// press; the repeats run nothing.
TEST(DialogManager, EnterHeldInAnEditRunsTheDefaultCommandOnce) {
  Driver driver;
  DialogRunner run(WithTemplate(
      9003, {platform::ui::DefPushButton("Read", IDC_READ, 5, 5, 40, 14),
             platform::ui::EditText(IDC_ADDRESS, 5, 25, 40, 12, WS_BORDER | WS_TABSTOP)}));
  HWND dlg = run.Wait(driver);
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(driver.Click(dlg, IDC_ADDRESS));
  ASSERT_TRUE(driver.Key(dlg, VK_RETURN));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(driver.KeyRepeat(dlg, VK_RETURN));
  ASSERT_TRUE(driver.KeyUp(dlg, VK_RETURN));
  EXPECT_EQ(run.log().readClicks.load(), 1);
  ASSERT_TRUE(driver.Escape(dlg));
  ASSERT_TRUE(run.Finish());
}

}  // namespace
