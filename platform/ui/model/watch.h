// The model as a watcher on another thread sees it: the message boxes as
// they come and go, waiting for a change of the model, and whether a
// thread waits for input. For a driver that works the dialogs from outside
// their threads, as the tests' driver does (testing/ui_driver.h); the
// program installs no watcher, and then a message box costs one test of a
// pointer.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/win32/win32types.h"

namespace platform::ui {

// A message box as MessageBoxA was asked for it.
struct BoxEvent {
  std::string caption;
  std::string text;
  UINT type = 0;
  DWORD thread = 0;     // GetCurrentThreadId() of the thread that asked
  HWND hwnd = nullptr;  // its window; null for a box that ended unshown
};

// Told of every message box of the process while it is installed. Each
// call comes on the box's thread with the model lock held: it must return
// promptly and must not call the model.
class BoxWatcher {
 public:
  virtual ~BoxWatcher() = default;
  // Whether the box asked for now ends at once as its OK would, unshown.
  virtual bool EndAtOnce() = 0;
  // The box is shown as the window box.hwnd, or ended unshown (hwnd null:
  // EndAtOnce said so, or the program is closing: RequestCloseAll).
  virtual void Opened(const BoxEvent& box) = 0;
  // The window of a box that Opened named has closed.
  virtual void Closed(HWND box) = 0;
};

// Installs watcher (null: none). While one is installed, a box on the
// headless backend is a window (which the watcher's owner closes) rather
// than a line through the diagnostics hook. Once this returns, the watcher
// it replaced is called no more. Any thread.
void SetBoxWatcher(BoxWatcher* watcher);

// Calls condition (without the model lock, so it may read the model) now
// and after every change of the model (a window made, shown, hidden or
// destroyed, a menu opened or closed, input queued, a thread waiting for
// input, a box opened or closed) until it gives true: true, or false once
// timeout has passed and it still gives false. Any thread.
bool WaitForModel(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// True while thread waits for a message (in GetMessage, also inside a
// modal loop) and none is queued for it, and for a thread without a queue
// (it ended, or never used windows). Any thread.
bool ThreadIdle(DWORD thread);

}  // namespace platform::ui
