#include "cli/failures.h"

#include <utility>

#include "cli/output.h"
#include "port/CommPort.h"

namespace cli {

using backup::CellName;
namespace {

// "WriteFile()" from the box's operation text ("DV Camera not responding. "
// and the like end in blanks).
std::string Operation(const engine::Failure& failure) {
  std::string text = failure.operation;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.empty() ? "a call on the port" : text;
}

// "WriteFile() failed on COM1 (/dev/ttyS0)<when>: <system's text>".
std::string FailedOn(const Trouble& trouble, const std::string& when) {
  return Operation(*trouble.failure) + " failed on " + trouble.port + when + ": " +
         trouble.failure->detail;
}

std::string Doing(const Trouble& trouble) {
  return (trouble.step == Trouble::Step::kWrite ? "writing " : "reading ") + CellName(trouble.cell);
}

}  // namespace

void FailureLog::OnFailure(const engine::Failure& failure) {
  std::lock_guard<std::mutex> lock(mutex_);
  failures_.push_back(failure);
}

std::vector<engine::Failure> FailureLog::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(failures_, {});
}

std::optional<engine::Failure> PortFailure(const std::vector<engine::Failure>& failures) {
  for (const engine::Failure& failure : failures) {
    if (failure.step != engine::Step::kReplyTimeout) return failure;
  }
  return std::nullopt;
}

std::string TroubleCause(const Trouble& trouble) {
  if (trouble.failure) return FailedOn(trouble, "");
  return "no reply within " + std::to_string(CCommPort::kReplyTimeoutMs / 1000) +
         " s; check the connection between port and camera";
}

std::string TroubleLine(const Trouble& trouble) {
  if (trouble.step == Trouble::Step::kSetUp) {
    const std::string why =
        trouble.failure ? Operation(*trouble.failure) + " failed: " + trouble.failure->detail
                        : "a step of its configuration failed";
    return trouble.port + " opened, but its line could not be set up: " + why;
  }
  if (trouble.step == Trouble::Step::kIdle && trouble.failure) {
    return FailedOn(trouble, " after the last transaction");
  }
  if (trouble.outcome == camera::Outcome::kCodeRead && trouble.failure) {
    return FailedOn(trouble, " when " + Doing(trouble)) + "; the camera answered all the same";
  }
  if (trouble.step == Trouble::Step::kWrite) {
    return Doing(trouble) + " failed (" + camera::FailureText(trouble.outcome) +
           "): " + camera::FailureMeaning(trouble.outcome) + " (" + TroubleCause(trouble) + ")";
  }
  return "the camera did not answer when " + Doing(trouble) + " (" + TroubleCause(trouble) + ")";
}

int TroubleStatus(const Trouble& trouble) {
  return trouble.step == Trouble::Step::kSetUp ? kExitNoPort : kExitNoAnswer;
}

}  // namespace cli
