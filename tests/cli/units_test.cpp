// The parts of corvane-cli that need no camera: restore's plan, the journal's
// records and undo's plan, and the one line and exit status of each kind of
// trouble on the link.
#include <gtest/gtest.h>

#include "cli/failures.h"
#include "cli/journal.h"
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

const std::string kWriteF7 = "2025-06-01T10:00:00.123Z #1 write COM1 /dev/ttyUSB0 0:F7 34 -> 5A ";

// A write read back differently left its read-back in the cell: undo writes
// the old code back where the cell still holds the read-back, and refuses
// where it holds the new code (a later change put it there).
TEST(UndoPlan, AfterADifferingReadBackTheReadBackIsWhatTheWriteLeft) {
  std::vector<JournalRecord> records;
  std::string warning, error;
  ASSERT_TRUE(ParseJournal(kWriteF7 + "sending\n" + kWriteF7 + "DIFFERS, read back 5B\n", &records,
                           &warning, &error))
      << error;
  ASSERT_EQ(records.size(), 1u);
  const JournalRecord& r = records[0];
  EXPECT_EQ(r.state, JournalRecord::State::kDiffers);
  EXPECT_EQ(LeftCode(r), 0x5B);
  EXPECT_EQ(PlanUndo(r, 0x5B, false), UndoStep::kWrite);
  EXPECT_EQ(PlanUndo(r, 0x5A, false), UndoStep::kRefuse);
}

// A last line that lacks only its line end was cut off by a crash between
// the text and the line end: it is passed over like a torn one, so the
// write stays at "sending".
TEST(JournalParser, ACompleteLastLineWithoutItsLineEndIsPassedOver) {
  std::vector<JournalRecord> records;
  std::string warning, error;
  ASSERT_TRUE(ParseJournal(kWriteF7 + "sending\n" + kWriteF7 + "done, read back 5A", &records,
                           &warning, &error))
      << error;
  EXPECT_EQ(warning, "line 2 is damaged (cut off?) and was skipped");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, JournalRecord::State::kSending);
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
