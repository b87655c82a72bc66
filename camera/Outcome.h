// How a camera transaction ended, as a value beside the text that the
// transaction returns (CCommPort::LastOutcome). The failure texts
// ("XXXX", "XXXXF", "FFFF") are the transactions' own and are compared
// here only: code elsewhere asks for the outcome.
#pragma once

#include <string_view>

namespace camera {

enum class Outcome {
  kCodeRead,        // the code (or codes) came back: the text is hexadecimal
  kTimeOut,         // "XXXX": a reply did not come; nothing usable came back
  kWriteNotSent,    // "XXXXF": a write's first close went unanswered, before the write frame
  kReadBackFailed,  // "FFFF": a write's read-back went unanswered; the write was answered
};

// The failure text that a transaction returns for outcome; "" for kCodeRead.
const char* FailureText(Outcome outcome);

// The outcome that a transaction's result text stands for: the failure
// text's, compared as a whole and case-sensitive, else kCodeRead.
Outcome OutcomeOfText(std::string_view text);

// What a failed Write transaction means for its cell, as one phrase for a
// message or the journal; for kCodeRead "".
const char* FailureMeaning(Outcome outcome);

// The code of a read session's round (CCommPort::ReadSessionCode).
struct SessionCode {
  bool answered = false;  // every step of the round was answered
  // The cell's code, 0 to 255, when its read was answered (also when only
  // the close then went unanswered); -1 when it was not.
  int code = -1;
};

}  // namespace camera
