#include "port/Receiver.h"

#include <cstring>

namespace engine {
namespace {

// The operation texts of the error box, one per step, in Step's order.
struct StepText {
  Step step;
  const char* operation;
};
constexpr StepText kStepTexts[] = {
    {Step::kSetCommTimeouts, "SetCommTimeouts()"},
    {Step::kSetCommMask, "SetCommMask()"},
    {Step::kGetCommState, "GetCommState()"},
    {Step::kBuildCommDCB, "BuildCommDCB()"},
    {Step::kSetCommState, "SetCommState()"},
    {Step::kWaitCommEvent, "WaitCommEvent()"},
    {Step::kWriteFile, "WriteFile()"},
    {Step::kWriteResult, "GetOverlappedResults() in WriteFile()"},
    {Step::kReadFile, "ReadFile()"},
    {Step::kReadResult, "GetOverlappedResults() in ReadFile()"},
    {Step::kReplyTimeout, "DV Camera not responding. "},
    {Step::kNotADigit, "Enter new value. "},
};

}  // namespace

bool IsConfigurationStep(Step step) {
  switch (step) {
    case Step::kSetCommTimeouts:
    case Step::kSetCommMask:
    case Step::kGetCommState:
    case Step::kBuildCommDCB:
    case Step::kSetCommState:
      return true;
    default:
      return false;
  }
}

const char* OperationText(Step step) {
  for (const StepText& t : kStepTexts) {
    if (t.step == step) return t.operation;
  }
  return "";
}

Step StepOfOperation(const char* operation) {
  if (operation == nullptr) return Step::kOther;
  for (const StepText& t : kStepTexts) {
    if (std::strcmp(t.operation, operation) == 0) return t.step;
  }
  return Step::kOther;
}

}  // namespace engine
