// The bench library's pure parts: restore's plan, the journal's records and
// undo's plan, and the state folder.
#include <gtest/gtest.h>

#include "backup/journal.h"
#include "backup/restore_plan.h"
#include "backup/state_folder.h"

namespace backup {
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

// The folder from the values of the variables that each platform names it by.
TEST(StateFolder, FollowsEachPlatformsRulesAndHoldsTheJournal) {
  EXPECT_EQ(StateFolder("/s/", "/h"), "/s/corvane");
  // A relative XDG_STATE_HOME is ignored, as an empty one is.
  EXPECT_EQ(StateFolder("state", "/h/"), "/h/.local/state/corvane");
  EXPECT_EQ(StateFolder("", "/h"), "/h/.local/state/corvane");
  EXPECT_EQ(StateFolder("", ""), "");
  EXPECT_EQ(JournalPathIn(StateFolder("", "/")), "/.local/state/corvane/journal");

  EXPECT_EQ(JournalPathIn(WindowsStateFolder("C:\\Users\\Tech\\AppData\\Local")),
            "C:\\Users\\Tech\\AppData\\Local\\Corvane\\journal");
  EXPECT_EQ(WindowsStateFolder("\\\\srv\\home\\"), "\\\\srv\\home\\Corvane");
  EXPECT_EQ(WindowsStateFolder("Local"), "");
  EXPECT_EQ(WindowsStateFolder("/h"), "");
  EXPECT_EQ(JournalPathIn(""), "");
}

}  // namespace
}  // namespace backup
