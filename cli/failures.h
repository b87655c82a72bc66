// corvane-cli's side of the engine's failures (port/Receiver.h). The
// receiver keeps what the engine reports and says nothing; the link takes
// the failures of each transaction into a Trouble, a value that the command
// asks for, and the command says it in one line (TroubleLine) and ends with
// its exit status (TroubleStatus). So a time-out is one line, in the
// command's words, never the error box's text and then the command's own.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "backup/cells.h"
#include "camera/Outcome.h"
#include "port/Receiver.h"

namespace cli {

using backup::Cell;

// Keeps every failure the engine reports until it is taken. The engine
// reports on the main thread and on the monitor thread, so both calls may
// come at once.
class FailureLog final : public engine::Receiver {
 public:
  void OnFailure(const engine::Failure& failure) override;
  // The tool gives the engine no owner window: nothing is ever notified.
  void OnOwnerNotification(CWnd*, UINT, WPARAM, LPARAM) override {}

  // The failures reported since the last Take, oldest first; they are
  // forgotten. Any thread.
  std::vector<engine::Failure> Take();

 private:
  std::mutex mutex_;
  std::vector<engine::Failure> failures_;
};

// What went wrong on the link.
struct Trouble {
  enum class Step {
    kSetUp,         // OpenPort's configuration of a port that opened
    kRead,          // a Read transaction (also the check read before a write)
    kWrite,         // a Write transaction
    kSessionRound,  // a step of the read session
    kIdle,          // after the last transaction, before the port closed
  };
  Step step = Step::kRead;
  Cell cell;  // kRead, kWrite, kSessionRound
  // How the transaction ended: a time-out (for a write, how far it got), or
  // kCodeRead when every reply came although the port failed on the way.
  camera::Outcome outcome = camera::Outcome::kTimeOut;
  // The first failure of the port itself met on the way (a monitor-thread
  // call such as WriteFile(), or for kSetUp the configuration step);
  // nothing when the reply simply did not come.
  std::optional<engine::Failure> failure;
  std::string port;  // the port as messages name it: "COM1 (/dev/ttyUSB0)"
};

// The first of failures that is not the reply time-out (which the outcome
// tells): the port's own.
std::optional<engine::Failure> PortFailure(const std::vector<engine::Failure>& failures);

// Why a transaction went unanswered, for a parenthesis: "no reply within
// 2 s; check the connection between port and camera", or the port's
// failure: "WriteFile() failed on COM1 (/dev/ttyUSB0): <system's text>".
std::string TroubleCause(const Trouble& trouble);

// The one line for trouble, without the program's name:
//   kRead   "the camera did not answer when reading 0:F7 (<cause>)"
//   kWrite  "writing 0:F7 failed (XXXXF): no answer before the write frame;
//           the cell was not written (<cause>)"
//   kSetUp  "COM1 (/dev/ttyS0) opened, but its line could not be set up:
//           SetCommState() failed: <system's text>"
//   kIdle   "WaitCommEvent() failed on COM1 (/dev/ttyS0) after the last
//           transaction: <system's text>"
//   answered all the same: "ReadFile() failed on COM1 (/dev/ttyS0) when
//           reading 0:F7: <system's text>; the camera answered all the same"
std::string TroubleLine(const Trouble& trouble);

// The exit status of a command that trouble ended: kExitNoPort for kSetUp,
// else kExitNoAnswer.
int TroubleStatus(const Trouble& trouble);

}  // namespace cli
