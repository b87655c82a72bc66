// The bench library's pure parts: restore's plan and the state folder.
#include <gtest/gtest.h>

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

// The folder from the values of the variables that each platform names it by.
TEST(StateFolder, FollowsEachPlatformsRulesAndHoldsTheJournal) {
  EXPECT_EQ(StateFolder("/s/", "/h"), "/s/corvane");
  // A relative XDG_STATE_HOME is ignored, as an empty one is.
  EXPECT_EQ(StateFolder("state", "/h/"), "/h/.local/state/corvane");
  EXPECT_EQ(StateFolder("", "/h"), "/h/.local/state/corvane");
  EXPECT_EQ(StateFolder("", ""), "");
  EXPECT_EQ(JournalFile(StateFolder("", "/")), "/.local/state/corvane/journal");

  EXPECT_EQ(JournalFile(WindowsStateFolder("C:\\Users\\Tech\\AppData\\Local")),
            "C:\\Users\\Tech\\AppData\\Local\\Corvane\\journal");
  EXPECT_EQ(WindowsStateFolder("\\\\srv\\home\\"), "\\\\srv\\home\\Corvane");
  EXPECT_EQ(WindowsStateFolder("Local"), "");
  EXPECT_EQ(WindowsStateFolder("/h"), "");
  EXPECT_EQ(JournalFile(""), "");
}

}  // namespace
}  // namespace backup
