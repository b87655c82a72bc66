// The campaign's oracle on the cases the transaction rules spell out: what
// it allows must be what the rules say, or the campaign proves nothing.
#include <gtest/gtest.h>

#include "tests/faults/campaign_model.h"

namespace {

using faults::AllowedOutcomes;
using faults::Case;
using faults::FaultKind;
using faults::Outcome;

Case Make(bool write, FaultKind kind, int step) {
  Case c;
  c.write = write;
  c.page = 0;
  c.address = 0xF7;
  c.refCode = 0x12;
  c.cellCode = 0x34;
  c.newCode = 0x5A;
  c.kind = kind;
  c.step = step;
  return c;
}

TEST(CampaignOracle, CleanTransactionsGiveTheCodesAndNothingElse) {
  auto read = AllowedOutcomes(Make(false, FaultKind::kNone, 1));
  EXPECT_EQ(read.all, (std::set<Outcome>{{"1234", 0}}));
  auto write = AllowedOutcomes(Make(true, FaultKind::kNone, 1));
  EXPECT_EQ(write.all, (std::set<Outcome>{{"5A", 0}}));
}

TEST(CampaignOracle, SilenceGivesTheFailureTextOfItsStep) {
  for (int step = 1; step <= 8; ++step) {
    SCOPED_TRACE(step);
    EXPECT_EQ(AllowedOutcomes(Make(false, FaultKind::kSilence, step)).all,
              (std::set<Outcome>{{"XXXX", step}}));
    const char* text = step == 3 ? "XXXXF" : step == 8 ? "FFFF" : "XXXX";
    EXPECT_EQ(AllowedOutcomes(Make(true, FaultKind::kSilence, step)).all,
              (std::set<Outcome>{{text, step}}));
  }
}

TEST(CampaignOracle, SurplusBytesTimeOutUnlessLookedAtBeforeThey) {
  // 06 80 7F and one more byte: the text no longer equals the image.
  Case extra = Make(false, FaultKind::kExtraByte, 1);
  extra.byte = 0x01;
  auto a = AllowedOutcomes(extra);
  EXPECT_EQ(a.primary, (Outcome{"XXXX", 1}));
  EXPECT_TRUE(a.all.count({"1234", 0}));  // a look between byte 3 and 4
  // A 27-byte setup reply: complete only if looked at with 26 in.
  extra.step = 2;
  a = AllowedOutcomes(extra);
  EXPECT_EQ(a.primary, (Outcome{"XXXX", 2}));
  EXPECT_TRUE(a.all.count({"1234", 0}));
  // A zero byte after the close reply ends the text where it ended anyway;
  // only if it came after the next frame's purge would it spoil the next
  // reply (a zero first byte: an empty text).
  extra.step = 3;
  extra.byte = 0x00;
  a = AllowedOutcomes(extra);
  EXPECT_EQ(a.primary, (Outcome{"1234", 0}));
  EXPECT_EQ(a.all, (std::set<Outcome>{{"1234", 0}, {"XXXX", 4}}));
}

TEST(CampaignOracle, BurstInsteadOfACountReplyCanOnlyCompleteInPassing) {
  Case burst = Make(false, FaultKind::kBurst, 5);
  burst.count = 50;
  burst.byte = 0x55;
  burst.instead = true;
  auto a = AllowedOutcomes(burst);
  EXPECT_EQ(a.primary, (Outcome{"XXXX", 5}));
  // Looked at with exactly 18 of the 50 in: the code is the burst's byte,
  // and the rest is discarded or spoils the next step.
  EXPECT_TRUE(a.all.count({"5534", 0}));
  EXPECT_TRUE(a.all.count({"XXXX", 6}));
  for (const Outcome& o : a.all) EXPECT_TRUE(o.result == "XXXX" || o.result == "5534");
}

TEST(CampaignOracle, PausesBelowTheLimitCompleteAndAboveItTimeOut) {
  for (int step = 1; step <= 8; ++step) {
    SCOPED_TRACE(step);
    Case pause = Make(true, FaultKind::kPause1900, step);
    pause.pauseAfter = 0;
    EXPECT_EQ(AllowedOutcomes(pause).all, (std::set<Outcome>{{"5A", 0}}));
    pause.kind = FaultKind::kPause2100;
    const char* text = step == 3 ? "XXXXF" : step == 8 ? "FFFF" : "XXXX";
    EXPECT_EQ(AllowedOutcomes(pause).all, (std::set<Outcome>{{text, step}}));
  }
}

TEST(CampaignOracle, CasesReproduceFromTheirSeed) {
  const faults::Case a = faults::MakeCase(faults::CaseSeed(20261209, 17));
  const faults::Case b = faults::MakeCase(a.seed);
  EXPECT_EQ(a.Describe(), b.Describe());
  EXPECT_NE(a.seed, faults::CaseSeed(20261209, 18));
}

}  // namespace
