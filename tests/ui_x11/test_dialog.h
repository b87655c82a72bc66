// The dialog that the X11 tests drive: the layout of the program's main
// window (buttons, three-state boxes, static texts, edits, group boxes)
// from a template registered here, with handlers that record what reaches
// them. Its Read button can start a worker thread that shows a message box
// while the dialog's own thread waits (or spins) until the box is closed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/afx.h"
#include "platform/kernel32.h"

namespace x11test {

constexpr int kDialogId = 900;
constexpr const char* kDialogTitle = "Corvane X11 test";
constexpr const char* kBoxCaption = "Application Error";
constexpr const char* kBoxText = "The port COM1 could not be opened.\nThe device is busy.";
constexpr UINT kAboutCommand = 0x0010;

// Control identifiers and their template rectangles (dialog units).
struct Place {
  int id, x, y, cx, cy;
};
constexpr Place kRead{1000, 105, 70, 32, 15};
constexpr Place kWrite{1001, 155, 70, 30, 15};
constexpr Place kCom1{1005, 205, 10, 10, 10};
constexpr Place kCom2{1006, 205, 25, 8, 10};
constexpr Place kAddress{1008, 65, 45, 20, 12};
constexpr Place kPage{1013, 20, 45, 20, 12};
constexpr Place kNewCode{1011, 159, 45, 20, 12};

// What the Read button does besides being recorded.
enum class ReadAction {
  kNothing,
  kBoxWhileWaiting,   // worker shows a box; this thread waits on an event
  kBoxWhileSpinning,  // worker shows a box; this thread spins
};

// Everything the dialog's thread saw, for the test's thread to wait on.
class Record {
 public:
  void Click(int id, DWORD thread);
  void SysCommand(UINT id);
  void HandlerReturned();
  int Clicks(int id);
  DWORD LastClickThread();
  std::vector<UINT> SysCommands();
  int HandlersReturned();
  bool WaitClicks(int id, int n);
  bool WaitReturned(int n);

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<std::pair<int, DWORD>> clicks_;
  std::vector<UINT> sysCommands_;
  int returned_ = 0;
};

// Registers the template and the icon (once).
void RegisterTestResources();

// Runs the dialog modally on the calling thread; gives DoModal's result.
// `shown` (may be null) gets the dialog's window when OnInitDialog runs.
INT_PTR RunTestDialog(Record* record, ReadAction action, std::atomic<HWND>* shown);

// Runs the dialog modally on a thread of its own.
class DialogThread {
 public:
  explicit DialogThread(ReadAction action = ReadAction::kNothing);
  ~DialogThread();  // ends the dialog if it still runs, joins
  DialogThread(const DialogThread&) = delete;
  DialogThread& operator=(const DialogThread&) = delete;

  Record& record() { return record_; }
  // The dialog's model window once it is shown (null until then).
  HWND WaitShown();
  bool WaitEnded();  // DoModal returned (10 s at most)
  INT_PTR result() const { return result_.load(); }
  DWORD thread() const { return thread_id_.load(); }

 private:
  Record record_;
  ReadAction action_;
  std::atomic<HWND> hwnd_{nullptr};
  std::atomic<bool> ended_{false};
  std::atomic<INT_PTR> result_{0};
  std::atomic<DWORD> thread_id_{0};
  std::thread thread_;
};

// Model state of a control of `dialog` (readable from any thread).
std::string ControlText(HWND dialog, int id);
int ControlCheck(HWND dialog, int id);
bool ControlFocused(HWND dialog, int id);
int ControlCaret(HWND dialog, int id);  // an edit's caret, in characters
int FocusedId(HWND dialog);             // 0 if no control has the focus

// The open message box windows of the model.
std::vector<HWND> MessageBoxes();

}  // namespace x11test
