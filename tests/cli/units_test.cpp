// The parts of corvane-cli that need no camera: the one line and exit
// status of each kind of trouble on the link.
#include <gtest/gtest.h>

#include "cli/failures.h"
#include "cli/output.h"

namespace cli {
namespace {

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
