// Edit fields as a user works them: the selection by keys and by the mouse,
// copy, cut, paste and undo, the primary selection, pasted text under the
// rules of typed text, and the edit menu with its greying.
#include <gtest/gtest.h>

#include "ui_fixture.h"

namespace {

using namespace uitest;
using platform::ui::ClipboardKind;
using platform::ui::EditMouse;
using platform::ui::MenuItemSnapshot;
using testsupport::ui::Driver;

class Edits : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClipboard("");
    SetPrimary("");
    dlg = run.Wait(driver);
    ASSERT_NE(dlg, nullptr);
  }
  void TearDown() override {
    driver.Escape(dlg);
    EXPECT_TRUE(run.Finish());
  }

  HWND Edit(int id) { return GetDlgItem(dlg, id); }
  std::string Text(int id) { return driver.Text(dlg, id); }
  // The selection as "start,end,caret".
  std::string Sel(int id) {
    platform::ui::WindowSnapshot s;
    platform::ui::SnapshotWindow(Edit(id), &s);
    return std::to_string(s.selStart) + "," + std::to_string(s.selEnd) + "," +
           std::to_string(s.caret);
  }
  static std::string Clipboard() { return platform::ui::ClipboardText(ClipboardKind::kClipboard); }
  static std::string Primary() { return platform::ui::ClipboardText(ClipboardKind::kPrimary); }
  static void SetClipboard(std::string t) {
    platform::ui::SetClipboardText(ClipboardKind::kClipboard, std::move(t));
  }
  static void SetPrimary(std::string t) {
    platform::ui::SetClipboardText(ClipboardKind::kPrimary, std::move(t));
  }
  // The ids of the menu's items that can be chosen.
  static std::vector<UINT> Active(const std::vector<MenuItemSnapshot>& menu) {
    std::vector<UINT> ids;
    for (const auto& m : menu) {
      if (!m.separator && !m.grayed) ids.push_back(m.id);
    }
    return ids;
  }

  Driver driver;
  DialogRunner run;
  HWND dlg = nullptr;
};

TEST_F(Edits, ShiftWithCaretKeysAndCtrlASelectAndTheSelectionBecomesPrimary) {
  ASSERT_TRUE(driver.Click(dlg, IDC_ADDRESS));  // "F7", the caret at the end
  ASSERT_TRUE(driver.Key(dlg, VK_LEFT, true));
  EXPECT_EQ(Sel(IDC_ADDRESS), "1,2,1");
  EXPECT_EQ(Primary(), "7");
  ASSERT_TRUE(driver.Key(dlg, VK_LEFT, true));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,2,0");
  ASSERT_TRUE(driver.Key(dlg, VK_RIGHT, true));  // back from the left
  EXPECT_EQ(Sel(IDC_ADDRESS), "1,2,1");
  ASSERT_TRUE(driver.Key(dlg, VK_HOME, true));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,2,0");
  EXPECT_EQ(Primary(), "F7");
  ASSERT_TRUE(driver.Key(dlg, VK_RIGHT));  // collapses at the selection's end
  EXPECT_EQ(Sel(IDC_ADDRESS), "2,2,2");
  ASSERT_TRUE(driver.Key(dlg, VK_HOME));
  ASSERT_TRUE(driver.Key(dlg, VK_END, true));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,2,2");
  // Read-only fields select too; Ctrl+A selects everything.
  ASSERT_TRUE(driver.Click(dlg, IDC_REF_ADDRESS));
  ASSERT_TRUE(driver.Ctrl(dlg, 'a'));
  EXPECT_EQ(Sel(IDC_REF_ADDRESS), "0,2,2");
  EXPECT_EQ(Primary(), "F8");
  // Tab selects the whole text, as before, and leaves the primary alone.
  SetPrimary("x");
  ASSERT_TRUE(driver.Tab(dlg));
  ASSERT_EQ(driver.FocusId(dlg), IDC_ADDRESS);
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,2,2");
  EXPECT_EQ(Primary(), "x");
}

TEST_F(Edits, PressDragReleaseAndDoubleClickSelect) {
  HWND address = Edit(IDC_ADDRESS);
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kPress, 1));
  EXPECT_EQ(driver.FocusId(dlg), IDC_ADDRESS);
  EXPECT_EQ(Sel(IDC_ADDRESS), "1,1,1");
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kDrag, 0));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,1,0");
  EXPECT_EQ(Primary(), "");  // not before the button is up
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kRelease, 0));
  EXPECT_EQ(Primary(), "F");
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kShiftPress, 2));  // from the anchor
  EXPECT_EQ(Sel(IDC_ADDRESS), "1,2,2");
  // A plain click selects nothing and keeps the primary.
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kPress, 0));
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kRelease, 0));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,0,0");
  EXPECT_EQ(Primary(), "F");
  // A drag past the text stops at its end; the selection ends where the
  // button comes up, and the pointer moved after that selects nothing.
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kPress, 0));
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kDrag, 99));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,2,2");
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kRelease, 1));
  ASSERT_TRUE(driver.Mouse(address, EditMouse::kDrag, 2));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,1,1");

  // A double click selects the word: a whole code, also read-only.
  ASSERT_TRUE(driver.Mouse(Edit(IDC_REF_ADDRESS), EditMouse::kDoubleClick, 1));
  ASSERT_TRUE(driver.Mouse(Edit(IDC_REF_ADDRESS), EditMouse::kRelease, 1));
  EXPECT_EQ(driver.FocusId(dlg), IDC_REF_ADDRESS);
  EXPECT_EQ(Sel(IDC_REF_ADDRESS), "0,2,2");
  EXPECT_EQ(Primary(), "F8");
  SetDlgItemTextA(dlg, IDC_NEW_CODE, "ab cd");
  ASSERT_TRUE(driver.Mouse(Edit(IDC_NEW_CODE), EditMouse::kDoubleClick, 4));
  EXPECT_EQ(Sel(IDC_NEW_CODE), "3,5,5");
}

TEST_F(Edits, CopyCutPasteAndUndoByKeysReadOnlyCopiesOnly) {
  ASSERT_TRUE(driver.Click(dlg, IDC_ADDRESS));
  ASSERT_TRUE(driver.Ctrl(dlg, 'a'));
  ASSERT_TRUE(driver.Ctrl(dlg, 'c'));
  EXPECT_EQ(Clipboard(), "F7");
  ASSERT_TRUE(driver.Key(dlg, VK_END));
  ASSERT_TRUE(driver.Key(dlg, VK_LEFT, true));
  ASSERT_TRUE(driver.Key(dlg, VK_INSERT, false, true));  // Ctrl+Insert
  EXPECT_EQ(Clipboard(), "7");
  ASSERT_TRUE(driver.Ctrl(dlg, 'x'));
  EXPECT_EQ(Text(IDC_ADDRESS), "F");
  ASSERT_TRUE(driver.Ctrl(dlg, 'v'));
  EXPECT_EQ(Text(IDC_ADDRESS), "F7");
  ASSERT_TRUE(driver.Key(dlg, VK_HOME, true));
  ASSERT_TRUE(driver.Key(dlg, VK_DELETE, true));  // Shift+Delete cuts
  EXPECT_EQ(Text(IDC_ADDRESS), "");
  EXPECT_EQ(Clipboard(), "F7");
  ASSERT_TRUE(driver.Key(dlg, VK_INSERT, true));  // Shift+Insert pastes
  EXPECT_EQ(Text(IDC_ADDRESS), "F7");
  // Undo takes the last change back; a second undo redoes it.
  ASSERT_TRUE(driver.Ctrl(dlg, 'z'));
  EXPECT_EQ(Text(IDC_ADDRESS), "");
  ASSERT_TRUE(driver.Ctrl(dlg, 'z'));
  EXPECT_EQ(Text(IDC_ADDRESS), "F7");
  // A run of typing is one change.
  ASSERT_TRUE(driver.Ctrl(dlg, 'a'));
  ASSERT_TRUE(driver.Type(dlg, "3C"));
  ASSERT_TRUE(driver.Ctrl(dlg, 'z'));
  EXPECT_EQ(Text(IDC_ADDRESS), "F7");
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,2,2");
  // The program's SetDlgItemText leaves nothing to undo.
  SetDlgItemTextA(dlg, IDC_ADDRESS, "A0");
  EXPECT_EQ(SendMessageA(Edit(IDC_ADDRESS), EM_CANUNDO, 0, 0), 0);
  ASSERT_TRUE(driver.Ctrl(dlg, 'z'));
  EXPECT_EQ(Text(IDC_ADDRESS), "A0");

  ASSERT_TRUE(driver.Click(dlg, IDC_REF_ADDRESS));
  ASSERT_TRUE(driver.Ctrl(dlg, 'a'));
  ASSERT_TRUE(driver.Ctrl(dlg, 'x'));
  ASSERT_TRUE(driver.Key(dlg, VK_DELETE, true));
  ASSERT_TRUE(driver.Ctrl(dlg, 'v'));
  EXPECT_EQ(Text(IDC_REF_ADDRESS), "F8");
  EXPECT_EQ(Clipboard(), "F7");
  ASSERT_TRUE(driver.Ctrl(dlg, 'c'));
  EXPECT_EQ(Clipboard(), "F8");
}

TEST_F(Edits, PastedTextObeysTheLimitDigitsOnlyAndNoControlCharacters) {
  ASSERT_TRUE(driver.Click(dlg, IDC_NEW_CODE));
  SetClipboard("3C4D");
  ASSERT_TRUE(driver.Ctrl(dlg, 'v'));
  EXPECT_EQ(Text(IDC_NEW_CODE), "3C");  // the limit cuts
  // The first line only, without control characters (a NUL among them).
  ASSERT_TRUE(driver.Ctrl(dlg, 'a'));
  SetClipboard(
      std::string("\t1\0\x7F\x85"
                  "A\r\nBC",
                  10));
  ASSERT_TRUE(driver.Ctrl(dlg, 'v'));
  EXPECT_EQ(Text(IDC_NEW_CODE), "1A");

  // Digits only: a paste with anything else is refused whole.
  ASSERT_TRUE(driver.Click(dlg, IDC_PAGE));
  ASSERT_TRUE(driver.Ctrl(dlg, 'a'));
  for (const char* refused : {"1x", "-1", " 1", "1\t"}) {
    SetClipboard(refused);
    ASSERT_TRUE(driver.Ctrl(dlg, 'v'));
    EXPECT_EQ(Text(IDC_PAGE), "0") << refused;
  }
  SetClipboard("12\n");
  ASSERT_TRUE(driver.Ctrl(dlg, 'v'));
  EXPECT_EQ(Text(IDC_PAGE), "1");

  // The middle button pastes the primary selection where it clicks; a
  // read-only field takes none.
  SetPrimary("9");
  SetDlgItemTextA(dlg, IDC_ADDRESS, "F");
  ASSERT_TRUE(driver.Mouse(Edit(IDC_ADDRESS), EditMouse::kMiddleClick, 0));
  EXPECT_EQ(Text(IDC_ADDRESS), "9F");
  EXPECT_EQ(driver.FocusId(dlg), IDC_ADDRESS);
  ASSERT_TRUE(driver.Mouse(Edit(IDC_REF_ADDRESS), EditMouse::kMiddleClick, 0));
  EXPECT_EQ(Text(IDC_REF_ADDRESS), "F8");
  EXPECT_EQ(driver.FocusId(dlg), IDC_ADDRESS);
}

TEST_F(Edits, TheEditMenuGreysWhatCannotActAndItsChoicesAct) {
  const std::vector<UINT> all = {WM_UNDO, 0, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, 0, EM_SETSEL};
  const std::vector<std::string> captions = {"&Undo",  "",        "Cu&t", "&Copy",
                                             "&Paste", "&Delete", "",     "Select &All"};
  std::vector<MenuItemSnapshot> menu = driver.RightClickEditMenu(Edit(IDC_ADDRESS));
  ASSERT_EQ(menu.size(), all.size());
  for (std::size_t i = 0; i < menu.size(); ++i) {
    EXPECT_EQ(menu[i].id, all[i]);
    EXPECT_EQ(menu[i].text, captions[i]);
    EXPECT_EQ(menu[i].separator, all[i] == 0);
  }
  EXPECT_EQ(driver.FocusId(dlg), IDC_ADDRESS);  // the right click focuses
  EXPECT_EQ(Active(menu), std::vector<UINT>{EM_SETSEL});
  ASSERT_TRUE(driver.PickEditMenuItem(dlg, EM_SETSEL));
  EXPECT_FALSE(driver.EditMenuOpen(dlg));
  EXPECT_EQ(Sel(IDC_ADDRESS), "0,2,2");
  EXPECT_EQ(Primary(), "F7");

  menu = driver.RightClickEditMenu(Edit(IDC_ADDRESS));
  EXPECT_EQ(Active(menu), (std::vector<UINT>{WM_CUT, WM_COPY, WM_CLEAR}));
  ASSERT_TRUE(driver.PickEditMenuItem(dlg, WM_CUT));
  EXPECT_EQ(Text(IDC_ADDRESS), "");
  EXPECT_EQ(Clipboard(), "F7");
  menu = driver.RightClickEditMenu(Edit(IDC_ADDRESS));
  EXPECT_EQ(Active(menu), (std::vector<UINT>{WM_UNDO, WM_PASTE}));
  ASSERT_TRUE(driver.PickEditMenuItem(dlg, WM_PASTE));
  EXPECT_EQ(Text(IDC_ADDRESS), "F7");
  // An item the menu greyed does nothing.
  menu = driver.RightClickEditMenu(Edit(IDC_ADDRESS));
  ASSERT_TRUE(driver.PickEditMenuItem(dlg, WM_CLEAR));
  EXPECT_EQ(Text(IDC_ADDRESS), "F7");

  // Read-only: Copy and Select All only.
  ASSERT_TRUE(driver.Click(dlg, IDC_REF_ADDRESS));
  ASSERT_TRUE(driver.Key(dlg, VK_LEFT, true));
  menu = driver.RightClickEditMenu(Edit(IDC_REF_ADDRESS));
  EXPECT_EQ(Active(menu), (std::vector<UINT>{WM_COPY, EM_SETSEL}));
  ASSERT_TRUE(driver.PickEditMenuItem(dlg, WM_COPY));
  EXPECT_EQ(Clipboard(), "8");

  // The menu key and Shift+F10 open it for the focused edit.
  ASSERT_TRUE(driver.Click(dlg, IDC_NEW_CODE));
  ASSERT_TRUE(driver.Key(dlg, VK_APPS));
  EXPECT_TRUE(driver.EditMenuOpen(dlg));
  EXPECT_EQ(driver.Snapshot(dlg).editMenuFor, Edit(IDC_NEW_CODE));
  ASSERT_TRUE(platform::ui::PostEditMenuDismissed(dlg));
  ASSERT_TRUE(driver.Key(dlg, VK_F10, true));
  EXPECT_TRUE(driver.EditMenuOpen(dlg));
  ASSERT_TRUE(platform::ui::PostEditMenuDismissed(dlg));

  // Elsewhere, and on a disabled edit, a right click opens the system menu.
  EXPECT_TRUE(driver.RightClickEditMenu(GetDlgItem(dlg, IDC_READ)).empty());
  EXPECT_TRUE(driver.SystemMenuOpen(dlg));
  ASSERT_TRUE(platform::ui::PostSystemMenuDismissed(dlg));
  EnableWindow(Edit(IDC_PAGE), FALSE);
  EXPECT_TRUE(driver.RightClickEditMenu(Edit(IDC_PAGE)).empty());
  EXPECT_TRUE(driver.SystemMenuOpen(dlg));
}

}  // namespace
