// Read and Write from the dialog against a simulated camera on COM1: the
// results in the fields, the button states for every result text, the
// input refused before anything is sent, an error box left open while the
// user selects another port, a second click while a command runs, and the
// ways the program ends.
#include "testing/hex.h"
#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

// COM1 present with F8 = 12 and F7 = 34 on page 0; the program past its
// About box.
class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Attach(1);
    ports_.Cam(1).SetCell(0, 0xF8, 0x12);
    ports_.Cam(1).SetCell(0, 0xF7, 0x34);
    run_ = std::make_unique<ProgramRun>(d_);
    main_ = run_->PastAbout();
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override { run_.reset(); }

  // Clicks a command button and waits until the command has ended.
  void Press(int id) { ASSERT_TRUE(d_.Click(main_, id)); }
  // Starts a command whose input is refused: waits for the digit check's
  // box, checks it and the buttons meanwhile, closes it.
  void PressRefused(int id, const std::string& symbolText) {
    d_.ClickNoWait(main_, id);
    testsupport::ui::OpenBox box = d_.WaitBox();
    ASSERT_NE(box.hwnd, nullptr);
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_NE(box.text.find("Enter new value."), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("Not recognized symbol: " + symbolText), std::string::npos) << box.text;
    EXPECT_FALSE(d_.Enabled(main_, IDC_READ));
    EXPECT_FALSE(d_.Enabled(main_, IDC_WRITE));
    ASSERT_TRUE(d_.CloseBox(box));
    ASSERT_TRUE(d_.WaitIdle(run_->thread()));
  }
  std::string Text(int id) { return d_.Text(main_, id); }
  bool Enabled(int id) { return d_.Enabled(main_, id); }

  Ports ports_;
  Driver d_;
  std::unique_ptr<ProgramRun> run_;
  HWND main_ = nullptr;
};

TEST_F(CommandTest, ReadShowsReferenceAndCellCodesAndEnablesWrite) {
  Press(IDC_READ);
  EXPECT_EQ(Text(IDC_REF_CODE), "12");
  EXPECT_EQ(Text(IDC_CODE), "34");
  EXPECT_TRUE(Enabled(IDC_WRITE));
  EXPECT_TRUE(Enabled(IDC_READ));
  EXPECT_EQ(ports_.Frames(1), 8u);
  EXPECT_TRUE(d_.Recorded().empty());

  // Page 1 is read from page 1.
  ports_.Cam(1).SetCell(1, 0x20, 0xA5);
  SetField(d_, main_, IDC_PAGE, "1");
  SetField(d_, main_, IDC_ADDRESS, "20");
  Press(IDC_READ);
  EXPECT_EQ(Text(IDC_REF_CODE), "12");
  EXPECT_EQ(Text(IDC_CODE), "A5");
  EXPECT_EQ(ports_.Frames(1), 16u);
}

TEST_F(CommandTest, LowerShortAndEmptyAddressesAreRefusedWithNothingSent) {
  Press(IDC_READ);  // fills the code fields, enables Write
  ports_.Cam(1).ClearLog();

  SetField(d_, main_, IDC_ADDRESS, "f7");
  PressRefused(IDC_READ, "f");
  SetField(d_, main_, IDC_ADDRESS, "7");
  PressRefused(IDC_READ, "");  // the missing second character
  SetField(d_, main_, IDC_ADDRESS, "");
  PressRefused(IDC_READ, "");
  SetField(d_, main_, IDC_ADDRESS, "F7");
  SetField(d_, main_, IDC_PAGE, "");
  PressRefused(IDC_READ, "");

  EXPECT_EQ(ports_.Frames(1), 0u);
  EXPECT_EQ(d_.Recorded().size(), 4u);
  EXPECT_TRUE(Enabled(IDC_READ));
  EXPECT_FALSE(Enabled(IDC_WRITE));
  EXPECT_EQ(Text(IDC_REF_CODE), "12");
  EXPECT_EQ(Text(IDC_CODE), "34");

  // The port was re-opened after each refusal: the next Read works.
  SetField(d_, main_, IDC_PAGE, "0");
  Press(IDC_READ);
  EXPECT_EQ(ports_.Frames(1), 8u);
  EXPECT_TRUE(Enabled(IDC_WRITE));
}

TEST_F(CommandTest, PageTwoIsRefusedWithoutABoxForReadAndWrite) {
  Press(IDC_READ);
  ports_.Cam(1).ClearLog();
  d_.SetAutoAcknowledge(true);
  SetField(d_, main_, IDC_PAGE, "2");
  Press(IDC_READ);
  EXPECT_TRUE(Enabled(IDC_READ));
  EXPECT_FALSE(Enabled(IDC_WRITE));
  EXPECT_EQ(Text(IDC_CODE), "34");
  EXPECT_EQ(ports_.Frames(1), 0u);
  EXPECT_TRUE(d_.Recorded().empty());

  // Many refusals in a row, each starting a monitor thread and ending it
  // at once, leave none behind.
  long before = platform::ui::LiveWinThreadObjects();
  for (int i = 0; i < 20; ++i) Press(IDC_READ);
  EXPECT_EQ(platform::ui::LiveWinThreadObjects(), before);
  EXPECT_TRUE(d_.Recorded().empty());
}

TEST_F(CommandTest, WriteStoresTheNewCodeAndShowsTheCodeReadBack) {
  Press(IDC_READ);
  SetField(d_, main_, IDC_NEW_CODE, "3C");
  Press(IDC_WRITE);
  EXPECT_EQ(Text(IDC_CODE), "3C");
  EXPECT_EQ(Text(IDC_REF_CODE), "12");
  EXPECT_TRUE(Enabled(IDC_WRITE));
  EXPECT_TRUE(Enabled(IDC_READ));
  EXPECT_EQ(ports_.Cam(1).Cell(0, 0xF7), 0x3C);
  EXPECT_EQ(ports_.Frames(1), 16u);

  // The address changed after the Read: the Write goes to the new cell.
  SetField(d_, main_, IDC_ADDRESS, "10");
  SetField(d_, main_, IDC_NEW_CODE, "5A");
  Press(IDC_WRITE);
  EXPECT_EQ(ports_.Cam(1).Cell(0, 0x10), 0x5A);
  EXPECT_EQ(ports_.Cam(1).Cell(0, 0xF7), 0x3C);
  EXPECT_EQ(Text(IDC_CODE), "5A");
  EXPECT_TRUE(d_.Recorded().empty());
}

TEST_F(CommandTest, ShortAndLowerCaseNewCodesAreRefusedUntilTheNextRead) {
  Press(IDC_READ);
  ports_.Cam(1).ClearLog();
  SetField(d_, main_, IDC_NEW_CODE, "3");
  PressRefused(IDC_WRITE, "");
  EXPECT_FALSE(Enabled(IDC_WRITE));
  // Write stays disabled until a Read succeeds.
  Press(IDC_READ);
  ASSERT_TRUE(Enabled(IDC_WRITE));
  ports_.Cam(1).ClearLog();
  SetField(d_, main_, IDC_NEW_CODE, "3c");
  PressRefused(IDC_WRITE, "c");
  EXPECT_FALSE(Enabled(IDC_WRITE));
  EXPECT_EQ(ports_.Frames(1), 0u);
  EXPECT_EQ(ports_.Cam(1).Cell(0, 0xF7), 0x34);
  EXPECT_EQ(Text(IDC_CODE), "34");

  // The address is checked before the new code: its box comes first and
  // is the only one.
  Press(IDC_READ);
  d_.ClearRecorded();
  SetField(d_, main_, IDC_ADDRESS, "g7");
  PressRefused(IDC_WRITE, "g");
  EXPECT_EQ(d_.Recorded().size(), 1u);
}

// The keyboard alone repeats a command: the button that ran it has the
// focus again when it ends, also after its error box, and Read has it when
// Write stays disabled. A key that reaches the dialog while the box is open
// is lost, not taken as the dialog's OK.
TEST_F(CommandTest, EnterAndSpaceRepeatTheCommandThatHadTheFocus) {
  Press(IDC_READ);
  ASSERT_EQ(d_.FocusId(main_), IDC_READ);
  ASSERT_TRUE(d_.Enter(main_));
  EXPECT_EQ(ports_.Frames(1), 16u);
  ASSERT_TRUE(d_.Space(main_));
  EXPECT_EQ(ports_.Frames(1), 24u);
  EXPECT_EQ(d_.FocusId(main_), IDC_READ);

  SetField(d_, main_, IDC_NEW_CODE, "3");
  d_.ClickNoWait(main_, IDC_WRITE);
  testsupport::ui::OpenBox box = d_.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  ASSERT_TRUE(d_.Enter(main_));
  ASSERT_TRUE(d_.Enter(box.hwnd));
  ASSERT_TRUE(d_.WaitGone(box.hwnd));
  EXPECT_FALSE(Enabled(IDC_WRITE));
  EXPECT_EQ(d_.FocusId(main_), IDC_READ);
  ASSERT_TRUE(d_.Enter(main_));
  EXPECT_EQ(ports_.Frames(1), 32u);
  EXPECT_FALSE(run_->WaitEnded(Ms(0)));
}

// Codes come and go through the clipboard: the code read is copied, a code
// pasted (from a spreadsheet cell, with its line end) is written, and what
// a paste cannot put into a field (a NUL, control characters, a second
// character in the page) never reaches the line.
TEST_F(CommandTest, CodesAreCopiedAndPastedAndPastesPassTheSameChecks) {
  using platform::ui::ClipboardKind;
  Press(IDC_READ);
  ASSERT_TRUE(d_.Click(main_, IDC_CODE));
  ASSERT_TRUE(d_.Ctrl(main_, 'a'));
  ASSERT_TRUE(d_.Ctrl(main_, 'c'));
  EXPECT_EQ(platform::ui::ClipboardText(ClipboardKind::kClipboard), "34");

  platform::ui::SetClipboardText(ClipboardKind::kClipboard, "3C\r\n");
  ASSERT_TRUE(d_.Click(main_, IDC_NEW_CODE));
  ASSERT_TRUE(d_.Ctrl(main_, 'v'));
  Press(IDC_WRITE);
  EXPECT_EQ(ports_.Cam(1).Cell(0, 0xF7), 0x3C);

  ports_.Cam(1).ClearLog();
  platform::ui::SetClipboardText(ClipboardKind::kClipboard, "11");
  SetField(d_, main_, IDC_PAGE, "");
  ASSERT_TRUE(d_.Ctrl(main_, 'v'));
  EXPECT_EQ(Text(IDC_PAGE), "1");
  platform::ui::SetClipboardText(ClipboardKind::kClipboard, std::string("\0F\x01\x1B", 4));
  SetField(d_, main_, IDC_ADDRESS, "");
  ASSERT_TRUE(d_.Ctrl(main_, 'v'));
  EXPECT_EQ(Text(IDC_ADDRESS), "F");
  PressRefused(IDC_READ, "");  // the missing second character
  EXPECT_EQ(ports_.Frames(1), 0u);
}

// While the error box for a bad address is open, the dialog still takes
// clicks on the selection boxes; the command ends by opening the port
// selected by then.
TEST(CommandBoxTest, SelectingCom2WhileAnErrorBoxIsOpenMovesTheCommandsThere) {
  Ports ports;
  ports.Attach(1);
  ports.Attach(2);
  ports.Cam(2).SetCell(0, 0xF7, 0x77);
  Driver d;
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  SetField(d, main, IDC_ADDRESS, "x7");
  d.ClickNoWait(main, IDC_READ);
  testsupport::ui::OpenBox box = d.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);

  ASSERT_TRUE(d.Click(main, IDC_COM2));
  EXPECT_EQ(d.Check(main, IDC_COM2), BST_CHECKED);
  EXPECT_EQ(d.Check(main, IDC_COM1), BST_UNCHECKED);
  EXPECT_FALSE(d.Enabled(main, IDC_READ));  // the command still runs
  ASSERT_TRUE(d.CloseBox(box));
  ASSERT_TRUE(d.WaitIdle(run.thread()));
  EXPECT_TRUE(d.Enabled(main, IDC_READ));
  EXPECT_EQ(run.Dialog(main)->m_nPort, 2);

  SetField(d, main, IDC_ADDRESS, "F7");
  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_EQ(d.Text(main, IDC_CODE), "77");
  EXPECT_EQ(ports.Frames(2), 8u);
  EXPECT_EQ(ports.Frames(1), 0u);
}

// A second click on Read or Write that comes while the first one's command
// runs (the camera thinks before each reply, as a real one does) finds the
// button disabled and is lost: one command, not two.
TEST(DoubleClickTest, ASecondClickDuringTheCommandIsLostForReadAndWrite) {
  Ports ports;
  ports.Attach(1, {}, 60);
  Driver d;
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  auto doubleClick = [&](int id) {
    std::size_t before = ports.Frames(1);
    d.ClickNoWait(main, id);
    ASSERT_TRUE(ports.Cam(1).WaitForFrames(before + 1, 10000));
    ASSERT_FALSE(d.Enabled(main, id));  // the command has seven exchanges to go
    d.ClickNoWait(main, id);
    ASSERT_TRUE(d.WaitIdle(run.thread()));
  };

  ASSERT_NO_FATAL_FAILURE(doubleClick(IDC_READ));
  EXPECT_EQ(ports.Frames(1), 8u);
  ASSERT_TRUE(d.Enabled(main, IDC_WRITE));

  SetField(d, main, IDC_NEW_CODE, "3C");
  ASSERT_NO_FATAL_FAILURE(doubleClick(IDC_WRITE));
  EXPECT_EQ(ports.Frames(1), 16u);
  int writes = 0;
  for (const auto& e : ports.Cam(1).Log()) {
    writes +=
        e.kind == camsim::LogKind::kRx && testhex::ToHex(e.bytes).rfind("01800E10204D10", 0) == 0;
  }
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(ports.Cam(1).Cell(0, 0xF7), 0x3C);
  EXPECT_TRUE(d.Recorded().empty());
}

// Escape, the close box and Enter outside a push button each end the
// dialog and the program; no monitor thread is left.
TEST(EndTest, EscapeCloseBoxAndEnterInAnEditEndTheProgramWithNoMonitorLeft) {
  Ports ports;
  ports.Attach(1);
  Driver d;
  long before = platform::ui::LiveWinThreadObjects();
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    ProgramRun run(d);
    HWND main = run.PastAbout();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(d.Click(main, IDC_READ));
    ASSERT_TRUE(d.Enabled(main, IDC_WRITE));
    if (way == 0) d.Escape(main);
    if (way == 1) d.CloseBox(main);
    if (way == 2) {
      d.Click(main, IDC_ADDRESS);
      d.Enter(main);
    }
    ASSERT_TRUE(run.WaitEnded());
    EXPECT_EQ(run.result(), FALSE);
    EXPECT_EQ(platform::ui::LiveWinThreadObjects(), before);
    EXPECT_TRUE(d.TopLevels().empty());
  }
}

// The dialog closed while a command's box is open ends once the command
// has finished; its monitor thread ends with it.
TEST(EndTest, CloseBoxDuringACommandEndsTheProgramAfterTheCommand) {
  Ports ports;
  ports.Attach(1);
  Driver d;
  long before = platform::ui::LiveWinThreadObjects();
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  SetField(d, main, IDC_ADDRESS, "q1");
  d.ClickNoWait(main, IDC_READ);
  testsupport::ui::OpenBox box = d.WaitBox();
  ASSERT_NE(box.hwnd, nullptr);
  d.CloseBox(main);
  EXPECT_FALSE(run.WaitEnded(Ms(200)));
  ASSERT_TRUE(d.CloseBox(box));
  ASSERT_TRUE(run.WaitEnded());
  EXPECT_EQ(platform::ui::LiveWinThreadObjects(), before);
}

}  // namespace
}  // namespace apptest
