#include "camera/Outcome.h"

#include "camera/CommandTable.h"

namespace camera {

const char* FailureText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kCodeRead:
      break;
    case Outcome::kTimeOut:
      return kTimedOut;
    case Outcome::kWriteNotSent:
      return kCloseTimedOut;
    case Outcome::kReadBackFailed:
      return kReadBackTimedOut;
  }
  return "";
}

Outcome OutcomeOfText(std::string_view text) {
  for (Outcome outcome : {Outcome::kTimeOut, Outcome::kWriteNotSent, Outcome::kReadBackFailed}) {
    if (text == FailureText(outcome)) return outcome;
  }
  return Outcome::kCodeRead;
}

const char* FailureMeaning(Outcome outcome) {
  switch (outcome) {
    case Outcome::kCodeRead:
      break;
    case Outcome::kWriteNotSent:
      return "no answer before the write frame; the cell was not written";
    case Outcome::kReadBackFailed:
      return "no answer to the read-back; the write frame was answered, the cell is probably "
             "written";
    case Outcome::kTimeOut:
      return "the camera stopped answering; the cell may or may not have been written";
  }
  return "";
}

}  // namespace camera
