// Runs the whole program headless: the application object's InitInstance
// on a thread of its own (the program's user-interface thread), driven from
// the test's thread through the window layer's test driver, with simulated
// cameras on pseudo-terminals as the serial peers.
//
// Ports: COM1 to COM4 point into a fresh temporary directory, at a path
// that does not exist until a camera is attached there, so no test touches
// the machine's own serial ports.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/TesterApp.h"
#include "app/TesterDlg.h"
#include "res/Resources.h"
#include "res/resource.h"
#include "testing/env.h"
#include "testing/temp_dir.h"
#include "testing/ui_driver.h"
#include "tools/camsim/camsim.h"

namespace apptest {

using testsupport::ui::Driver;
using Ms = std::chrono::milliseconds;

// The four COM ports of one test.
class Ports {
 public:
  Ports();   // all four mapped, none present
  ~Ports();  // stops the cameras; the directory and the map go after them
  Ports(const Ports&) = delete;
  Ports& operator=(const Ports&) = delete;

  // Makes COMn present: a simulated camera whose line is linked at COMn's
  // path, waiting thinkMs before each reply. The camera logs to
  // Path(n) + ".log". wholeLine: the whole line at 9600 baud, both ways.
  camsim::Camsim& Attach(int n, const camsim::Faults& faults = {}, int thinkMs = 0,
                         bool wholeLine = false);
  // Makes COMn absent again (the camera stops, its link goes).
  void Detach(int n);
  camsim::Camsim& Cam(int n) { return *cams_[static_cast<std::size_t>(n - 1)]; }
  std::string Path(int n) const;
  // The same map for a program that the test starts (its environment).
  const std::vector<testsupport::EnvChange>& Env() const { return com_.Env(); }
  // Frames that the camera of COMn received so far.
  std::size_t Frames(int n);

 private:
  testsupport::TempDir dir_{"app-test"};
  testsupport::ComPorts com_{{Path(1), Path(2), Path(3), Path(4)}};
  std::array<std::unique_ptr<camsim::Camsim>, 4> cams_;
};

// One run of the program: InitInstance of theApp on its own thread.
class ProgramRun {
 public:
  explicit ProgramRun(Driver& driver);
  // Ends the program if it still runs (boxes acknowledged, Cancel posted to
  // its dialogs) and joins its thread.
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // The About box, once visible (null on time-out).
  HWND WaitAbout() { return d_.WaitTopLevel(corvane::AboutTexts::kTitle); }
  // The main dialog, once visible.
  HWND WaitMain() { return d_.WaitTopLevel(corvane::kTesterTitle); }
  // Closes the About box with OK and gives the main dialog.
  HWND PastAbout();
  // TRUE once InitInstance has returned (within the limit).
  bool WaitEnded(Ms limit = Ms(10000));
  BOOL result() const { return result_; }
  DWORD thread() const { return thread_id_; }
  // The main dialog object (valid while its window exists).
  CTesterDlg* Dialog(HWND main);

 private:
  Driver& d_;
  std::atomic<bool> ended_{false};
  std::atomic<BOOL> result_{TRUE};
  std::atomic<DWORD> thread_id_{0};
  std::thread thread_;
};

// Replaces the text of an edit of `top` as a user would: click into it,
// erase what is there, type `text`.
void SetField(Driver& d, HWND top, int id, const std::string& text);

// The memory map, opened from the main dialog's system menu (null on
// time-out).
HWND OpenMemoryMap(Driver& d, HWND main);
// What a grid of the map shows: the 256 cells' texts ("5A", or "--" for a
// cell not read) and the cells with a difference mark, as its last drawing
// has them.
struct GridView {
  std::vector<std::string> cells;
  std::vector<int> marked;  // addresses, ascending
  int cursor = -1;          // the address framed as the cursor
};
GridView ViewGrid(Driver& d, HWND map, int id);
// Clicks Read all and waits until the status line says how it ended (it
// then says how many cells were read).
std::string ReadAll(Driver& d, HWND map);

}  // namespace apptest
