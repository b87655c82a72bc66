// A dialog from a template on the FLTK backend, driven as a user drives it:
// the pointer at the pixels that the template's dialog units give, the
// keyboard, the window manager's close request and the system menu.
#include <gtest/gtest.h>

#include "platform/ui/model/resources.h"
#include "tests/ui_x11/fltk_fixture.h"
#include "tests/ui_x11/test_dialog.h"
#include "tests/ui_x11/x11_harness.h"

namespace x11test {
namespace {

using platform::ui::PostCloseBox;

class FltkDialogTest : public FltkTest {};

TEST_F(FltkDialogTest, AppearsWhereTheTemplatePutsItAndClicksArriveAsBnClicked) {
  DialogThread dialog;
  HWND hwnd = dialog.WaitShown();
  ASSERT_NE(hwnd, nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u) << "the dialog's window did not appear";
  Geometry g = WindowGeometry(win);
  EXPECT_EQ(g.width, UnitsX(267));
  EXPECT_EQ(g.height, UnitsY(90));
  EXPECT_TRUE(WaitDrawn(win));
  EXPECT_FALSE(Screenshot("dialog").empty());  // an artefact

  ClickDialogUnits(win, kRead.x, kRead.y, kRead.cx, kRead.cy);
  ASSERT_TRUE(dialog.record().WaitClicks(kRead.id, 1));
  EXPECT_EQ(dialog.record().LastClickThread(), dialog.thread())
      << "BN_CLICKED must be handled on the dialog's own thread";

  // Write is disabled by the template: a click on it reaches no handler.
  // COM1's handler enables it; then the same click arrives.
  ClickDialogUnits(win, kWrite.x, kWrite.y, kWrite.cx, kWrite.cy);
  ClickDialogUnits(win, kCom1.x, kCom1.y, kCom1.cx, kCom1.cy);
  ASSERT_TRUE(dialog.record().WaitClicks(kCom1.id, 1));
  EXPECT_EQ(dialog.record().Clicks(kWrite.id), 0);
  ClickDialogUnits(win, kWrite.x, kWrite.y, kWrite.cx, kWrite.cy);
  ASSERT_TRUE(dialog.record().WaitClicks(kWrite.id, 1));
  EXPECT_EQ(dialog.record().Clicks(kRead.id), 1);
}

TEST_F(FltkDialogTest, ControlsAreDrawnWhereTheTemplatePutsThemInTheClassicColours) {
  DialogThread dialog;
  ASSERT_NE(dialog.WaitShown(), nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  Geometry g = WindowGeometry(win);
  const std::string face = "#D4D0C8", white = "#FFFFFF";
  // Inside an edit, left of its centred text: white when editable, the
  // face colour when read-only; the left edge is the sunken border.
  auto editInside = [&](const Place& p) {
    return PixelAt(g.x + UnitsX(p.x) + 4, g.y + UnitsY(p.y) + UnitsY(p.cy) / 2);
  };
  auto editEdge = [&](const Place& p) {
    return PixelAt(g.x + UnitsX(p.x), g.y + UnitsY(p.y) + UnitsY(p.cy) / 2);
  };
  EXPECT_TRUE(WaitUntil([&] { return editInside(kAddress) == white; })) << editInside(kAddress);
  const Place refAddress{1003, 65, 25, 20, 12};
  EXPECT_EQ(editInside(refAddress), face);
  EXPECT_EQ(editEdge(kAddress), "#808080");
  EXPECT_EQ(PixelAt(g.x + UnitsX(kAddress.x) - 2, g.y + UnitsY(kAddress.y) + 5), face);
  // The three-state box: a 13-pixel square at the left, vertically
  // centred; white inside while enabled, face colour while disabled.
  auto boxInside = [&](const Place& p) {
    return PixelAt(g.x + UnitsX(p.x) + 3, g.y + UnitsY(p.y) + (UnitsY(p.cy) - 13) / 2 + 3);
  };
  EXPECT_EQ(boxInside(kCom1), white);
  const Place com3{1007, 205, 40, 10, 10};
  EXPECT_EQ(boxInside(com3), face);
  // Push buttons: white top-left edge, dark bottom-right edge; the
  // focused Read button has its black frame outside that.
  EXPECT_EQ(PixelAt(g.x + UnitsX(kWrite.x) + 2, g.y + UnitsY(kWrite.y)), white);
  EXPECT_EQ(PixelAt(g.x + UnitsX(kWrite.x) + 5, g.y + UnitsY(kWrite.y) + UnitsY(kWrite.cy) - 1),
            "#404040");
  EXPECT_EQ(PixelAt(g.x + UnitsX(kRead.x) + 5, g.y + UnitsY(kRead.y)), "#000000");
}

TEST_F(FltkDialogTest, ThreeStateBoxCyclesOnClicksAndIsDrawnEachWay) {
  DialogThread dialog;
  HWND hwnd = dialog.WaitShown();
  ASSERT_NE(hwnd, nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  // The box is 8 units wide: its caption is cut off, the square is hit.
  const int expected[] = {BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED, BST_CHECKED};
  for (int i = 0; i < 4; ++i) {
    ClickDialogUnits(win, kCom2.x, kCom2.y, kCom2.cx, kCom2.cy);
    ASSERT_TRUE(dialog.record().WaitClicks(kCom2.id, i + 1));
    EXPECT_EQ(ControlCheck(hwnd, kCom2.id), expected[i]) << "after click " << i + 1;
    if (i == 1) Screenshot("checkbox-indeterminate");
  }
}

TEST_F(FltkDialogTest, TypedTextArrivesInTheModelWithItsLimitsAndDigitsOnly) {
  DialogThread dialog;
  HWND hwnd = dialog.WaitShown();
  ASSERT_NE(hwnd, nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);

  // The address edit: a click focuses it with the caret under the pointer,
  // between the F and the 7 of its centred text.
  ClickDialogUnits(win, kAddress.x, kAddress.y, kAddress.cx, kAddress.cy);
  ASSERT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kAddress.id); }));
  EXPECT_TRUE(WaitUntil([&] { return ControlCaret(hwnd, kAddress.id) == 1; }))
      << ControlCaret(hwnd, kAddress.id);
  Keys(win, "End BackSpace BackSpace");
  ASSERT_TRUE(WaitUntil([&] { return ControlText(hwnd, kAddress.id).empty(); }));
  TypeText(win, "a5c");  // at most 2 characters, case kept
  EXPECT_TRUE(WaitUntil([&] { return ControlText(hwnd, kAddress.id) == "a5"; }))
      << ControlText(hwnd, kAddress.id);

  // The page edit takes digits only, one of them.
  ClickDialogUnits(win, kPage.x, kPage.y, kPage.cx, kPage.cy);
  ASSERT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kPage.id); }));
  Keys(win, "End BackSpace");
  TypeText(win, "x7");
  EXPECT_TRUE(WaitUntil([&] { return ControlText(hwnd, kPage.id) == "7"; }))
      << ControlText(hwnd, kPage.id);

  // The new code edit scrolls a long text sideways rather than clipping
  // the caret away; the model holds all of it only up to its limit.
  ClickDialogUnits(win, kNewCode.x, kNewCode.y, kNewCode.cx, kNewCode.cy);
  ASSERT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kNewCode.id); }));
  TypeText(win, "@&1");
  EXPECT_TRUE(WaitUntil([&] { return ControlText(hwnd, kNewCode.id) == "@&"; }));
  Screenshot("typed");
}

TEST_F(FltkDialogTest, KeysMoveTheFocusClickTheFocusedButtonAndEscapeCancels) {
  DialogThread dialog;
  HWND hwnd = dialog.WaitShown();
  ASSERT_NE(hwnd, nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  // OnInitDialog returned TRUE: the first tab stop, Read, has the focus.
  ASSERT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kRead.id); }));
  // Tab skips the disabled Write button; Shift+Tab comes back. The focused
  // box, too narrow for its caption, shows the dotted rectangle round it.
  Geometry g = WindowGeometry(win);
  auto darkInCom1 = [&] {
    return DarkPixels(g.x + UnitsX(kCom1.x), g.y + UnitsY(kCom1.y), UnitsX(kCom1.cx),
                      UnitsY(kCom1.cy));
  };
  const int unfocused = darkInCom1();
  Keys(win, "Tab");
  EXPECT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kCom1.id); }));
  EXPECT_TRUE(WaitUntil([&] { return darkInCom1() > unfocused + 8; }))
      << unfocused << " dark pixels before and " << darkInCom1() << " after";
  Keys(win, "space");  // Space on the focused box clicks it
  ASSERT_TRUE(dialog.record().WaitClicks(kCom1.id, 1));
  EXPECT_EQ(ControlCheck(hwnd, kCom1.id), BST_CHECKED);
  // COM1's handler has enabled Write: now Shift+Tab stops on it.
  Keys(win, "shift+Tab");
  EXPECT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kWrite.id); }))
      << "focus on " << FocusedId(hwnd);
  Keys(win, "shift+Tab");
  EXPECT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kRead.id); }))
      << "focus on " << FocusedId(hwnd);
  Keys(win, "Return");  // Enter on a push button clicks it
  ASSERT_TRUE(dialog.record().WaitClicks(kRead.id, 1));
  Keys(win, "Escape");
  ASSERT_TRUE(dialog.WaitEnded());
  EXPECT_EQ(dialog.result(), IDCANCEL);
  EXPECT_TRUE(WaitNoWindow(kDialogTitle));
}

TEST_F(FltkDialogTest, EnterOutsideAPushButtonEndsTheDialogWithOk) {
  DialogThread dialog;
  HWND hwnd = dialog.WaitShown();
  ASSERT_NE(hwnd, nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  ClickDialogUnits(win, kAddress.x, kAddress.y, kAddress.cx, kAddress.cy);
  ASSERT_TRUE(WaitUntil([&] { return ControlFocused(hwnd, kAddress.id); }));
  Keys(win, "Return");
  ASSERT_TRUE(dialog.WaitEnded());
  EXPECT_EQ(dialog.result(), IDOK);
  EXPECT_EQ(dialog.record().Clicks(kRead.id), 0);
}

TEST_F(FltkDialogTest, TheWindowManagersCloseRequestCancelsTheDialog) {
  DialogThread dialog;
  ASSERT_NE(dialog.WaitShown(), nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  ASSERT_TRUE(SendCloseRequest(win));
  ASSERT_TRUE(dialog.WaitEnded());
  EXPECT_EQ(dialog.result(), IDCANCEL);
  EXPECT_EQ(dialog.record().SysCommands(), std::vector<UINT>{SC_CLOSE});
  EXPECT_TRUE(WaitNoWindow(kDialogTitle));
}

TEST_F(FltkDialogTest, RightClickOpensTheSystemMenuAndItsItemsReachOnSysCommand) {
  DialogThread dialog;
  ASSERT_NE(dialog.WaitShown(), nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  Geometry g = WindowGeometry(win);

  // Close, a separator, then the appended item: Down twice selects it.
  ClickAt(g.x + 30, g.y + 120, 3);
  ASSERT_TRUE(WaitPopupMenu(true));
  Screenshot("system-menu");
  Shell("xdotool key --delay 60 Down Down Return");
  ASSERT_TRUE(WaitUntil([&] { return !dialog.record().SysCommands().empty(); }));
  EXPECT_EQ(dialog.record().SysCommands(), std::vector<UINT>{kAboutCommand});
  ASSERT_TRUE(WaitPopupMenu(false));

  // A dismissed menu sends nothing; Alt+Space opens it again, and Close
  // ends the dialog as the close box does.
  ClickAt(g.x + 30, g.y + 120, 3);
  ASSERT_TRUE(WaitPopupMenu(true));
  Shell("xdotool key Escape");
  ASSERT_TRUE(WaitPopupMenu(false));
  EXPECT_EQ(dialog.record().SysCommands().size(), 1u);
  Keys(win, "alt+space");
  ASSERT_TRUE(WaitPopupMenu(true));
  Shell("xdotool key --delay 60 Down Return");
  ASSERT_TRUE(dialog.WaitEnded());
  EXPECT_EQ(dialog.result(), IDCANCEL);
  EXPECT_EQ(dialog.record().SysCommands(), (std::vector<UINT>{kAboutCommand, SC_CLOSE}));
}

TEST_F(FltkDialogTest, IconsOfBothSizesAndTheProgramsClassAreSetOnTheXWindow) {
  DialogThread dialog;
  ASSERT_NE(dialog.WaitShown(), nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  std::string icon;
  EXPECT_TRUE(WaitUntil([&] {
    icon = Property(win, "_NET_WM_ICON");
    return icon.find("32 x 32") != std::string::npos && icon.find("16 x 16") != std::string::npos;
  })) << icon.substr(0, 200);
  // A task bar groups and names the program's windows by their class.
  EXPECT_NE(Property(win, "WM_CLASS").find("ui_x11_test"), std::string::npos)
      << Property(win, "WM_CLASS");
}

TEST_F(FltkDialogTest, MinimisedByTheWindowManagerTheDialogIsIconicUntilRestored) {
  DialogThread dialog;
  HWND hwnd = dialog.WaitShown();
  ASSERT_NE(hwnd, nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  EXPECT_FALSE(IsIconic(hwnd));
  ASSERT_TRUE(UnmapWindow(win));
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(hwnd) != FALSE; }));
  ASSERT_TRUE(MapWindow(win));
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(hwnd) == FALSE; }));
  // Still working after the round trip.
  ClickDialogUnits(win, kRead.x, kRead.y, kRead.cx, kRead.cy);
  EXPECT_TRUE(dialog.record().WaitClicks(kRead.id, 1));
}

TEST_F(FltkDialogTest, ChangesMadeByAnotherThreadReachTheXWindow) {
  DialogThread dialog;
  HWND hwnd = dialog.WaitShown();
  ASSERT_NE(hwnd, nullptr);
  ASSERT_NE(WaitWindow(kDialogTitle), 0u);
  // This thread does not own the dialog (as a worker thread would not).
  ASSERT_TRUE(SetWindowTextA(hwnd, "Corvane renamed"));
  EXPECT_NE(WaitWindow("Corvane renamed"), 0u);
  EXPECT_TRUE(WaitNoWindow(kDialogTitle));
}

TEST_F(FltkDialogTest, ADialogEndedWhileItsSystemMenuIsOpenGoesAwaySafely) {
  {
    DialogThread dialog;
    HWND hwnd = dialog.WaitShown();
    ASSERT_NE(hwnd, nullptr);
    unsigned long win = WaitWindow(kDialogTitle);
    ASSERT_NE(win, 0u);
    Geometry g = WindowGeometry(win);
    ClickAt(g.x + 40, g.y + 40, 3);
    ASSERT_TRUE(WaitPopupMenu(true));
    // The menu holds the pointer; the dialog ends through the model.
    ASSERT_TRUE(PostCloseBox(hwnd));
    ASSERT_TRUE(dialog.WaitEnded());
    EXPECT_TRUE(WaitNoWindow(kDialogTitle));
    Shell("xdotool key Escape");  // dismiss the menu left over
    EXPECT_TRUE(WaitPopupMenu(false));
  }
  // The backend goes on: the next dialog shows and takes clicks.
  DialogThread next;
  ASSERT_NE(next.WaitShown(), nullptr);
  unsigned long win = WaitWindow(kDialogTitle);
  ASSERT_NE(win, 0u);
  ClickDialogUnits(win, kRead.x, kRead.y, kRead.cx, kRead.cy);
  EXPECT_TRUE(next.record().WaitClicks(kRead.id, 1));
  EXPECT_TRUE(next.record().SysCommands().empty());
}

}  // namespace
}  // namespace x11test
