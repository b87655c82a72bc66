// The controls' own behaviour: the automatic three-state box, edits with
// limits, digits only, read-only and no case conversion, GetDlgItemText's
// count, and disabled controls.
#include <gtest/gtest.h>

#include <cstring>
#include <future>

#include "ui_fixture.h"

namespace {

using namespace uitest;
using testsupport::ui::Driver;

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg = run.Wait(driver);
    ASSERT_NE(dlg, nullptr);
  }
  void TearDown() override {
    driver.Escape(dlg);
    EXPECT_TRUE(run.Finish());
  }
  Driver driver;
  DialogRunner run;
  HWND dlg = nullptr;
};

TEST_F(Controls, ThreeStateBoxCyclesAndReportsAfterChanging) {
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(driver.Click(dlg, IDC_COM1));
  EXPECT_EQ(driver.Check(dlg, IDC_COM1), BST_CHECKED);
  {
    std::lock_guard<std::mutex> lock(run.log().mu);
    // Each BN_CLICKED saw the state that the click had already given.
    EXPECT_EQ(run.log().com1Checks,
              (std::vector<int>{BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED, BST_CHECKED}));
  }
  // BM_SETCHECK from the program: 1 sets, 0 clears; no notification.
  SendMessageA(GetDlgItem(dlg, IDC_COM1), BM_SETCHECK, 0, 0);
  EXPECT_EQ(driver.Check(dlg, IDC_COM1), BST_UNCHECKED);
  SendMessageA(GetDlgItem(dlg, IDC_COM1), BM_SETCHECK, 1, 0);
  EXPECT_EQ(driver.Check(dlg, IDC_COM1), BST_CHECKED);
  EXPECT_EQ(SendMessageA(GetDlgItem(dlg, IDC_COM1), BM_GETCHECK, 0, 0), BST_CHECKED);
  std::lock_guard<std::mutex> lock(run.log().mu);
  EXPECT_EQ(run.log().com1Checks.size(), 4u);
}

TEST_F(Controls, DisabledControlsTakeNoClicksKeysOrFocus) {
  EnableWindow(GetDlgItem(dlg, IDC_COM2), FALSE);
  EXPECT_FALSE(driver.Enabled(dlg, IDC_COM2));
  ASSERT_TRUE(driver.Click(dlg, IDC_COM2));
  EXPECT_EQ(driver.Check(dlg, IDC_COM2), BST_UNCHECKED);
  EXPECT_EQ(run.log().com2Clicks.load(), 0);
  EXPECT_EQ(driver.FocusId(dlg), IDC_READ);
  // A disabled edit takes no typing even if it had the focus before.
  ASSERT_TRUE(driver.Click(dlg, IDC_ADDRESS));
  EnableWindow(GetDlgItem(dlg, IDC_ADDRESS), FALSE);
  ASSERT_TRUE(driver.Type(dlg, "1"));
  EXPECT_EQ(driver.Text(dlg, IDC_ADDRESS), "F7");
  EnableWindow(GetDlgItem(dlg, IDC_COM2), TRUE);
  ASSERT_TRUE(driver.Click(dlg, IDC_COM2));
  EXPECT_EQ(run.log().com2Clicks.load(), 1);
  EXPECT_EQ(driver.FocusId(dlg), IDC_COM2);
  // Space on the focused box clicks it.
  ASSERT_TRUE(driver.Space(dlg));
  EXPECT_EQ(driver.Check(dlg, IDC_COM2), BST_INDETERMINATE);
}

// Input is judged when it arrives: what comes while the control, or the
// whole dialog (as the owner of a modal box is), is disabled is lost, even
// though both are enabled again before the dialog's thread is free to
// handle it.
TEST_F(Controls, InputThatArrivesWhileDisabledIsLostWhenTheThreadIsBusy) {
  std::promise<void> busy, posted;
  run.dlg()->onRead = [&](TestDlg* d) {
    d->m_btnCom2.EnableWindow(FALSE);
    d->EnableWindow(FALSE);
    busy.set_value();
    posted.get_future().wait();
    d->EnableWindow(TRUE);
    d->m_btnCom2.EnableWindow(TRUE);
  };
  driver.ClickNoWait(dlg, IDC_READ);
  busy.get_future().wait();
  driver.ClickNoWait(dlg, IDC_COM2);
  driver.KeyNoWait(dlg, VK_ESCAPE);  // would end the dialog
  posted.set_value();
  ASSERT_TRUE(driver.WaitIdle(run.thread()));
  EXPECT_EQ(run.log().readReturned.load(), 1);
  EXPECT_EQ(run.log().com2Clicks.load(), 0);
  EXPECT_FALSE(run.done());
  EXPECT_TRUE(driver.Enabled(dlg, IDC_COM2));
  // Taken again once the thread is free.
  ASSERT_TRUE(driver.Click(dlg, IDC_COM2));
  EXPECT_EQ(run.log().com2Clicks.load(), 1);
}

TEST_F(Controls, StaticsAndGroupBoxesTakeNoClicksOrFocus) {
  platform::ui::TopLevelSnapshot s = driver.Snapshot(dlg);
  ASSERT_EQ(s.children[4].kind, platform::ui::WindowKind::kStatic);
  ASSERT_EQ(s.children[8].kind, platform::ui::WindowKind::kGroupBox);
  ASSERT_TRUE(driver.Click(s.children[4].hwnd));
  ASSERT_TRUE(driver.Click(s.children[8].hwnd));
  EXPECT_EQ(driver.FocusId(dlg), IDC_READ);
  ASSERT_TRUE(driver.Click(dlg, IDC_READ));
  std::lock_guard<std::mutex> lock(run.log().mu);
  // Only the button's click reached the dialog.
  EXPECT_EQ(run.log().commands, (std::vector<std::pair<int, int>>{{IDC_READ, BN_CLICKED}}));
}

TEST_F(Controls, TheLimitBoundsTypingNotSetDlgItemText) {
  // Tab to the address selects its text; typing replaces it.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(driver.Tab(dlg));
  ASSERT_EQ(driver.FocusId(dlg), IDC_ADDRESS);
  ASSERT_TRUE(driver.Type(dlg, "abc"));
  EXPECT_EQ(driver.Text(dlg, IDC_ADDRESS), "ab");  // no case conversion
  ASSERT_TRUE(driver.Type(dlg, "\b"));
  EXPECT_EQ(driver.Text(dlg, IDC_ADDRESS), "a");
  ASSERT_TRUE(driver.Type(dlg, "9Z"));
  EXPECT_EQ(driver.Text(dlg, IDC_ADDRESS), "a9");
  SetDlgItemTextA(dlg, IDC_ADDRESS, "12345");
  EXPECT_EQ(driver.Text(dlg, IDC_ADDRESS), "12345");
  EXPECT_EQ(SendMessageA(GetDlgItem(dlg, IDC_ADDRESS), EM_GETLIMITTEXT, 0, 0), 2);
  // The new-code field is reached with the mouse; same limit.
  ASSERT_TRUE(driver.Click(dlg, IDC_NEW_CODE));
  ASSERT_TRUE(driver.Type(dlg, "3c4"));
  EXPECT_EQ(driver.Text(dlg, IDC_NEW_CODE), "3c");
}

TEST_F(Controls, DigitsOnlyEditRefusesOtherCharacters) {
  ASSERT_TRUE(driver.Click(dlg, IDC_PAGE));
  EXPECT_EQ(driver.Text(dlg, IDC_PAGE), "0");
  ASSERT_TRUE(driver.Type(dlg, "1"));  // limit 1 is reached
  EXPECT_EQ(driver.Text(dlg, IDC_PAGE), "0");
  ASSERT_TRUE(driver.Type(dlg, "\bx-"));
  EXPECT_EQ(driver.Text(dlg, IDC_PAGE), "");
  ASSERT_TRUE(driver.Type(dlg, "a2"));
  EXPECT_EQ(driver.Text(dlg, IDC_PAGE), "2");
}

TEST_F(Controls, ReadOnlyEditTakesFocusButNoTyping) {
  ASSERT_TRUE(driver.Click(dlg, IDC_REF_ADDRESS));
  EXPECT_EQ(driver.FocusId(dlg), IDC_REF_ADDRESS);
  ASSERT_TRUE(driver.Type(dlg, "\b12"));
  ASSERT_TRUE(driver.Key(dlg, VK_DELETE));
  EXPECT_EQ(driver.Text(dlg, IDC_REF_ADDRESS), "F8");
}

TEST_F(Controls, CaretKeysAndDeleteEditInTheMiddle) {
  ASSERT_TRUE(driver.Click(dlg, IDC_NEW_CODE));
  ASSERT_TRUE(driver.Type(dlg, "12"));
  ASSERT_TRUE(driver.Key(dlg, VK_HOME));
  ASSERT_TRUE(driver.Key(dlg, VK_DELETE));
  EXPECT_EQ(driver.Text(dlg, IDC_NEW_CODE), "2");
  ASSERT_TRUE(driver.Type(dlg, "x"));
  EXPECT_EQ(driver.Text(dlg, IDC_NEW_CODE), "x2");
  ASSERT_TRUE(driver.Key(dlg, VK_END));
  ASSERT_TRUE(driver.Key(dlg, VK_LEFT));
  ASSERT_TRUE(driver.Type(dlg, "\b"));
  EXPECT_EQ(driver.Text(dlg, IDC_NEW_CODE), "2");
}

TEST_F(Controls, GetDlgItemTextCopiesAtMostCountMinusOne) {
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(run.dlg()->GetDlgItemText(IDC_ADDRESS, buf, 2), 1);
  EXPECT_STREQ(buf, "F");
  EXPECT_EQ(buf[2], '#');
  EXPECT_EQ(run.dlg()->GetDlgItemText(IDC_ADDRESS, buf, 1), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(run.dlg()->GetDlgItemText(IDC_ADDRESS, buf, 3), 2);
  EXPECT_STREQ(buf, "F7");
  EXPECT_EQ(run.dlg()->GetDlgItemText(IDC_ADDRESS, buf, 8), 2);
  CString s;
  run.dlg()->GetDlgItemText(IDC_REF_ADDRESS, s);
  EXPECT_EQ(s, "F8");
  // SetDlgItemText from another thread than the dialog's is seen at once.
  run.dlg()->SetDlgItemText(IDC_ADDRESS, "A0");
  EXPECT_EQ(driver.Text(dlg, IDC_ADDRESS), "A0");
}

}  // namespace
