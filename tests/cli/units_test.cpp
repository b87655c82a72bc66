// The parts of corvane-cli that need no camera: restore's plan, and the one
// line and exit status of each kind of trouble on the link.
#include <gtest/gtest.h>

#include "cli/failures.h"
#include "cli/output.h"
#include "cli/restore_plan.h"

namespace cli {
namespace {

TEST(RestorePlan, WritesTheCellsThatDifferInAddressOrderAndADryRunListsThem) {
  Image file, read;
  for (int index : {0x1FF, 0x000, 0x001, 0x0F7}) file.Set(Cell{index}, 0x5A);
  for (int index = 0; index < kCells; ++index) read.Set(Cell{index}, 0x5A);
  read.Set(Cell{0x1FF}, 0x00);
  read.Set(Cell{0x001}, 0x34);
  read.Set(Cell{0x100}, 0x77);  // not in the file: left alone
  const RestorePlan plan = PlanRestore(file, read);
  EXPECT_EQ(plan.unchanged, 2u);
  EXPECT_EQ(DryRunLines(plan), (std::vector<std::string>{"0:01 34 -> 5A (not written: dry run)",
                                                         "1:FF 00 -> 5A (not written: dry run)"}));
  EXPECT_EQ(DryRunSummary(plan), "2 cells would be written, 2 unchanged");
  EXPECT_EQ(DryRunSummary(PlanRestore(file, file)), "0 cells would be written, 4 unchanged");
}

TEST(TroubleLines, EachKindIsOneLineWithItsExitStatus) {
  engine::Failure gone;
  gone.step = engine::Step::kWriteFile;
  gone.operation = "WriteFile()";
  gone.detail = "The device is gone.";
  engine::Failure setUp = gone;
  setUp.step = engine::Step::kSetCommState;
  setUp.operation = "SetCommState()";
  setUp.detail = "The parameter is incorrect.";
  const auto trouble = [](Trouble::Step step, camera::Outcome outcome,
                          std::optional<engine::Failure> failure) {
    return Trouble{step, Cell{0xF7}, outcome, std::move(failure), "COM1 (/dev/ttyS0)"};
  };
  using camera::Outcome;
  using Step = Trouble::Step;
  const std::string noReply = "no reply within 2 s; check the connection between port and camera";
  const struct {
    Trouble trouble;
    std::string line;
    int status;
  } cases[] = {
      {trouble(Step::kRead, Outcome::kTimeOut, {}),
       "the camera did not answer when reading 0:F7 (" + noReply + ")", kExitNoAnswer},
      {trouble(Step::kRead, Outcome::kTimeOut, gone),
       "the camera did not answer when reading 0:F7 (WriteFile() failed on COM1 (/dev/ttyS0): The "
       "device is gone.)",
       kExitNoAnswer},
      {trouble(Step::kWrite, Outcome::kWriteNotSent, {}),
       "writing 0:F7 failed (XXXXF): no answer before the write frame; the cell was not written (" +
           noReply + ")",
       kExitNoAnswer},
      {trouble(Step::kRead, Outcome::kCodeRead, gone),
       "WriteFile() failed on COM1 (/dev/ttyS0) when reading 0:F7: The device is gone.; the camera "
       "answered all the same",
       kExitNoAnswer},
      {trouble(Step::kSetUp, Outcome::kTimeOut, setUp),
       "COM1 (/dev/ttyS0) opened, but its line could not be set up: SetCommState() failed: The "
       "parameter is incorrect.",
       kExitNoPort},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TroubleLine(c.trouble), c.line);
    EXPECT_EQ(TroubleStatus(c.trouble), c.status) << c.line;
  }
}

}  // namespace
}  // namespace cli
