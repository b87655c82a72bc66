// Commands whose camera transaction times out (each waits the 2 s reply
// limit, so each case is a test of its own): the failure texts in the
// fields and the Write button after each of them.
#include "tests/app/app_fixture.h"

namespace apptest {
namespace {

struct Outcome {
  std::string refCode, code;
  bool writeEnabled;
  bool timeoutBox;
};

// Runs a successful Read (so Write is enabled), then `faults` on the
// camera, then the command `id` with new code 3C.
Outcome RunWithFaults(int id, const camsim::Faults& faults) {
  Ports ports;
  ports.Attach(1);
  ports.Cam(1).SetCell(0, 0xF8, 0x12);
  ports.Cam(1).SetCell(0, 0xF7, 0x34);
  Driver d(/*autoAcknowledge=*/true);
  ProgramRun run(d);
  HWND main = run.PastAbout();
  EXPECT_NE(main, nullptr);
  if (!main) return {};
  EXPECT_TRUE(d.Click(main, IDC_READ));
  EXPECT_TRUE(d.Enabled(main, IDC_WRITE));
  SetField(d, main, IDC_NEW_CODE, "3C");
  ports.Cam(1).SetFaults(faults);
  d.ClearRecorded();
  EXPECT_TRUE(d.Click(main, id));
  Outcome out{d.Text(main, IDC_REF_CODE), d.Text(main, IDC_CODE), d.Enabled(main, IDC_WRITE),
              false};
  for (const auto& box : d.Recorded())
    out.timeoutBox |= box.text.find("DV Camera not responding") != std::string::npos;
  EXPECT_TRUE(d.Enabled(main, IDC_READ));
  return out;
}

camsim::Faults SilentAfter(int exchanges) {
  camsim::Faults f;
  if (exchanges == 0) {
    f.silent = true;
  } else {
    f.silentAfter = exchanges;
  }
  return f;
}

TEST(FailureTest, ReadThatTimesOutShowsXXInBothFieldsAndKeepsWriteDisabled) {
  Outcome o = RunWithFaults(IDC_READ, SilentAfter(4));
  EXPECT_EQ(o.refCode, "XX");
  EXPECT_EQ(o.code, "XX");
  EXPECT_FALSE(o.writeEnabled);
  EXPECT_TRUE(o.timeoutBox);
}

TEST(FailureTest, WriteResultXXXXShowsXXAndDisablesWrite) {
  Outcome o = RunWithFaults(IDC_WRITE, SilentAfter(0));
  EXPECT_EQ(o.code, "XX");
  EXPECT_EQ(o.refCode, "12");
  EXPECT_FALSE(o.writeEnabled);
  EXPECT_TRUE(o.timeoutBox);
}

TEST(FailureTest, WriteResultXXXXFShowsXXAndLeavesWriteEnabled) {
  Outcome o = RunWithFaults(IDC_WRITE, SilentAfter(2));  // the first close times out
  EXPECT_EQ(o.code, "XX");
  EXPECT_EQ(o.refCode, "12");
  EXPECT_TRUE(o.writeEnabled);
  EXPECT_TRUE(o.timeoutBox);
}

TEST(FailureTest, WriteResultFFFFShowsFFAndLeavesWriteEnabled) {
  Outcome o = RunWithFaults(IDC_WRITE, SilentAfter(7));  // the read-back times out
  EXPECT_EQ(o.code, "FF");
  EXPECT_EQ(o.refCode, "12");
  EXPECT_TRUE(o.writeEnabled);
  EXPECT_TRUE(o.timeoutBox);
}

}  // namespace
}  // namespace apptest
