// What the port engine (CCommPort and its transactions) tells its owner,
// and through what. The engine reports every failure as a value (Failure)
// and hands the owner window's line-event notifications over, both to a
// Receiver that the owner gives CCommPort when it makes it. The engine
// shows nothing and sends no window message itself.
//
// Receivers:
// - the dialog's (port/BoxReceiver.cpp, library corvane_port_box, the
//   default of CCommPort()): shows the failure's error box, modal on the
//   thread that met it, and sends the notifications to the owner window;
// - corvane-cli's (cli/failures.h): keeps the failures; its link hands
//   each transaction's to the command, which says them in one line.
#pragma once

#include <string>

#include "platform/win32/win32types.h"

class CWnd;

namespace engine {

// Where a failure happened: the step of the engine that failed.
enum class Step {
  // OpenPort's configuration, in its order.
  kSetCommTimeouts,
  kSetCommMask,
  kGetCommState,
  kBuildCommDCB,
  kSetCommState,
  // The monitor thread's calls.
  kWaitCommEvent,
  kWriteFile,
  kWriteResult,  // GetOverlappedResult after a pending write
  kReadFile,
  kReadResult,  // GetOverlappedResult after a pending read
  // The camera's reply did not come within the reply time-out.
  kReplyTimeout,
  // A character that is no hexadecimal digit (the frame codec's check).
  kNotADigit,
  // Any other operation text given to CCommPort::ReportError.
  kOther,
};

// True for the steps of OpenPort's configuration.
bool IsConfigurationStep(Step step);

// The operation text that the error box names for step ("SetCommState()",
// "DV Camera not responding. ", ...); "" for kOther.
const char* OperationText(Step step);

// The step whose operation text is operation; kOther for any other text.
Step StepOfOperation(const char* operation);

// One failure, as the engine met it.
struct Failure {
  Step step = Step::kOther;
  std::string operation;  // the operation text, as the box names it
  DWORD systemCode = 0;   // the calling thread's last error when it was reported
  // The port number of the most recent open: n of COMn, or 0 for a port
  // opened by its device path. The box's "Port:" line shows it.
  int port = 0;
  // The box's middle line without its line break: the detail given to
  // ReportError, or the system's text for systemCode.
  std::string detail;
  std::string caption;  // the box's caption: "Application Error"
  std::string text;     // the box's text, composed by CCommPort::ReportError
};

class Receiver {
 public:
  virtual ~Receiver() = default;

  // A failure. Called on the thread that met it (the thread that runs
  // OpenPort or a transaction, or the monitor thread), at most one call at
  // a time per thread but possibly on two threads at once; the engine waits
  // until it returns, and where the monitor thread held the port lock when
  // it failed, it still holds it.
  virtual void OnFailure(const Failure& failure) = 0;

  // A line event for the owner window given to OpenPort (never null):
  // message WM_USER + n, wParam 0, lParam the port number. Called on the
  // monitor thread, which waits until it returns.
  virtual void OnOwnerNotification(CWnd* owner, UINT message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  Receiver() = default;
  Receiver(const Receiver&) = default;
  Receiver& operator=(const Receiver&) = default;
};

}  // namespace engine
