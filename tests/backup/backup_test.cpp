// The bench library's pure parts: restore's plan.
#include <gtest/gtest.h>

#include "backup/restore_plan.h"

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

}  // namespace
}  // namespace backup
