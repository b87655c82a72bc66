// The probe of COM4..COM1 at start-up and the four selection boxes. Which
// port is selected is checked by where a Read goes: only the camera on the
// selected port sees frames.
#include "tests/app/app_fixture.h"
#include "tests/platform/serial_fixture.h"

namespace apptest {
namespace {

constexpr int kBox[5] = {0, IDC_COM1, IDC_COM2, IDC_COM3, IDC_COM4};

// The boxes' state as "e"/"-" (enabled) and "1"/"0"/"2" (mark), COM1..COM4.
std::string Boxes(Driver& d, HWND main) {
  std::string s;
  for (int n = 1; n <= 4; ++n) {
    s += d.Enabled(main, kBox[n]) ? 'e' : '-';
    s += static_cast<char>('0' + d.Check(main, kBox[n]));
    if (n < 4) s += ' ';
  }
  return s;
}

TEST(ProbeTest, Com2AndCom4PresentSelectsCom2AndLeavesCom4Selectable) {
  Ports ports;
  ports.Attach(2);
  ports.Attach(4);
  Driver d(/*autoAcknowledge=*/true);
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Boxes(d, main), "-0 e1 -0 e0");
  EXPECT_EQ(run.Dialog(main)->m_nPort, 2);
  EXPECT_TRUE(d.Recorded().empty());  // the probe shows nothing

  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_EQ(ports.Frames(2), 8u);
  EXPECT_EQ(ports.Frames(4), 0u);
  EXPECT_TRUE(d.Recorded().empty());
}

TEST(ProbeTest, OnlyCom4PresentIsEnabledMarkedSelectedAndOpen) {
  Ports ports;
  ports.Attach(4).SetCell(0, 0xF7, 0x5E);
  Driver d(true);
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Boxes(d, main), "-0 -0 -0 e1");
  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_EQ(ports.Frames(4), 8u);
  EXPECT_EQ(d.Text(main, IDC_CODE), "5E");
  EXPECT_TRUE(d.Recorded().empty());
}

TEST(ProbeTest, NoPortLeavesEverythingDisabledAndTheCommandsDoNothing) {
  Ports ports;
  Driver d(true);
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Boxes(d, main), "-0 -0 -0 -0");
  EXPECT_EQ(run.Dialog(main)->m_nPort, 0);

  // Read does nothing at all: no box, no field and no button changes.
  SetField(d, main, IDC_ADDRESS, "zz");
  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_TRUE(d.Enabled(main, IDC_READ));
  EXPECT_FALSE(d.Enabled(main, IDC_WRITE));
  EXPECT_EQ(d.Text(main, IDC_CODE), "");
  EXPECT_TRUE(d.Recorded().empty());
  // Disabled boxes take no clicks; a port that appears later stays
  // unselectable.
  ports.Attach(1);
  ASSERT_TRUE(d.Click(main, IDC_COM1));
  EXPECT_EQ(Boxes(d, main), "-0 -0 -0 -0");
  EXPECT_EQ(run.Dialog(main)->m_nPort, 0);
}

// A port that is there but held by another program: the window is as if
// it were missing, and standard error says who holds it.
TEST(ProbeTest, PortHeldElsewhereIsNamedOnStandardErrorOnly) {
  Ports ports;
  ports.Attach(1);
  ports.Attach(2);
  corvane_test::PortHolder holder(PORT_TOOL, "COM1", ports.Env());
  Driver d(true);
  testing::internal::CaptureStderr();
  std::string err;
  {
    ProgramRun run(d);
    HWND main = run.PastAbout();
    ASSERT_NE(main, nullptr);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Boxes(d, main), "-0 e1 -0 -0");
    EXPECT_EQ(run.Dialog(main)->m_nPort, 2);
    EXPECT_TRUE(d.Recorded().empty());
  }
  EXPECT_EQ(err, "app_test: COM1 (" + ports.Path(1) + "): in use by process " +
                     std::to_string(holder.pid()) + " (port_tool)\n");
}

TEST(SelectionTest, ClickOnAnOpeningPortMarksOnlyItAndCommandsGoThere) {
  Ports ports;
  for (int n = 1; n <= 4; ++n) ports.Attach(n);
  Driver d(true);
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Boxes(d, main), "e1 e0 e0 e0");

  ASSERT_TRUE(d.Click(main, IDC_COM3));
  EXPECT_EQ(Boxes(d, main), "e0 e0 e1 e0");
  EXPECT_EQ(run.Dialog(main)->m_nPort, 3);
  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_EQ(ports.Frames(3), 8u);
  EXPECT_EQ(ports.Frames(1), 0u);

  // The selected box again: its click advances it to indeterminate, the
  // open succeeds and marks it again.
  ASSERT_TRUE(d.Click(main, IDC_COM3));
  EXPECT_EQ(Boxes(d, main), "e0 e0 e1 e0");
  ASSERT_TRUE(d.Click(main, IDC_COM4));
  EXPECT_EQ(Boxes(d, main), "e0 e0 e0 e1");
  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_EQ(ports.Frames(4), 8u);
  EXPECT_TRUE(d.Recorded().empty());
}

// The open fails: the box keeps what the click gave it, the selection
// stays. The port object is left closed by that open, so the next command
// fails on it and then re-opens the selected port; the one after works.
TEST(SelectionTest, ClickOnAPortThatNoLongerOpensChangesNothingButItsOwnMark) {
  Ports ports;
  ports.Attach(1);
  ports.Attach(2);
  Driver d(true);
  ProgramRun run(d);
  HWND main = run.PastAbout();
  ASSERT_NE(main, nullptr);
  ports.Cam(1).SetCell(0, 0xF7, 0x34);
  ports.Detach(2);

  ASSERT_TRUE(d.Click(main, IDC_COM2));
  EXPECT_EQ(Boxes(d, main), "e1 e1 -0 -0");
  EXPECT_EQ(run.Dialog(main)->m_nPort, 1);
  EXPECT_TRUE(d.Recorded().empty());  // a failed open shows nothing

  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_EQ(d.Text(main, IDC_REF_CODE), "XX");
  EXPECT_EQ(d.Text(main, IDC_CODE), "XX");
  EXPECT_FALSE(d.Enabled(main, IDC_WRITE));
  EXPECT_EQ(ports.Frames(1), 0u);
  bool timeoutShown = false;
  for (const auto& box : d.Recorded())
    timeoutShown |= box.text.find("DV Camera not responding") != std::string::npos;
  EXPECT_TRUE(timeoutShown);

  ASSERT_TRUE(d.Click(main, IDC_READ));
  EXPECT_EQ(ports.Frames(1), 8u);
  EXPECT_EQ(d.Text(main, IDC_CODE), "34");
  EXPECT_TRUE(d.Enabled(main, IDC_WRITE));
}

}  // namespace
}  // namespace apptest
