// The test driver of the headless backend. A test runs its dialog (or the
// code that shows message boxes) on another thread and drives it from the
// test's thread through a Driver: it finds windows, clicks, types, presses
// keys, uses the close box and the system menu, reads the controls, and
// lists and closes message boxes.
//
// Every input call comes in two forms: the plain one posts the input and
// then waits until the thread owning the window is idle again (blocked in
// GetMessage with an empty queue, also inside a message box's loop), up to
// the driver's timeout, and returns FALSE if it did not become idle; the
// ...NoWait form only posts. Use NoWait when the input starts something
// that blocks the thread (a transaction, a box on a worker thread).
//
// While a Driver exists, message boxes are recorded (caption, text, type,
// thread) and shown as windows the driver can close; with auto-acknowledge
// on they are recorded and closed at once as if OK was pressed. Without a
// driver, a headless box writes caption and text to standard error and
// returns IDOK at once. One Driver at a time. The driver works through the
// window model's public calls and its watcher seam
// (platform/ui/model/watch.h), on the headless backend or any other.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/model.h"
#include "platform/ui/model/watch.h"
#include "platform/win32/win32types.h"

class CWnd;

namespace testsupport::ui {

using platform::ui::EditMouse;
using platform::ui::MenuItemSnapshot;
using platform::ui::TopLevelSnapshot;
using platform::ui::WindowKind;
using Ms = std::chrono::milliseconds;

// A message box that is open now.
struct OpenBox {
  HWND hwnd = nullptr;
  std::string caption;
  std::string text;
  UINT type = 0;
  DWORD thread = 0;
};

// One message box as the driver recorded it.
struct BoxRecord {
  std::string caption;
  std::string text;
  UINT type = 0;
  DWORD thread = 0;     // GetCurrentThreadId() of the thread that showed it
  HWND hwnd = nullptr;  // its window (null when auto-acknowledged)
  bool closed = false;
};

class Driver : private platform::ui::BoxWatcher {
 public:
  // Installs the headless backend if no backend was chosen yet.
  explicit Driver(bool autoAcknowledge = false, Ms timeout = Ms(10000));
  ~Driver() override;
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  void SetAutoAcknowledge(bool on);
  Ms Timeout() const { return timeout_; }

  // ---- Finding windows --------------------------------------------------------
  // Waits for a visible top-level window whose title is `caption` (and, if
  // given, of that kind); null after the timeout.
  HWND WaitTopLevel(std::string_view caption, Ms timeout);
  HWND WaitTopLevel(std::string_view caption) { return WaitTopLevel(caption, timeout_); }
  HWND WaitTopLevelOfKind(WindowKind kind, Ms timeout);
  // Waits until `top` no longer exists (or is hidden). TRUE if it went.
  bool WaitGone(HWND top, Ms timeout);
  bool WaitGone(HWND top) { return WaitGone(top, timeout_); }
  std::vector<TopLevelSnapshot> TopLevels();
  HWND Item(HWND top, int id);  // GetDlgItem
  TopLevelSnapshot Snapshot(HWND top);

  // ---- Input ------------------------------------------------------------------------
  bool Click(HWND top, int id);
  bool Click(HWND window);
  bool Type(HWND top, std::string_view text);  // '\b' is Backspace
  bool Key(HWND top, UINT vk, bool shift = false, bool ctrl = false);
  // Ctrl with a letter: its control character (Ctrl+C is 0x03).
  bool Ctrl(HWND top, char letter);
  bool Tab(HWND top) { return Key(top, VK_TAB); }
  bool ShiftTab(HWND top) { return Key(top, VK_TAB, true); }
  bool Enter(HWND top) { return Key(top, VK_RETURN); }
  bool Escape(HWND top) { return Key(top, VK_ESCAPE); }
  bool Space(HWND top);  // pressed (types a space) and released
  // A repeated press of the key vk held down (key repeat), not released.
  bool KeyRepeat(HWND top, UINT vk);
  bool KeyUp(HWND top, UINT vk);
  bool CloseBox(HWND top);
  // Opens the system menu with Alt+Space and waits until it is up; gives
  // its items (empty on timeout).
  std::vector<MenuItemSnapshot> OpenSystemMenu(HWND top);
  // Opens it with a right click in the client area.
  std::vector<MenuItemSnapshot> RightClickSystemMenu(HWND top);
  // Picks an item of the open menu (WM_SYSCOMMAND id).
  bool PickSystemMenuItem(HWND top, UINT id);
  // The mouse on an edit at the character boundary `at`, as a backend that
  // draws the text measures it.
  bool Mouse(HWND edit, EditMouse what, int at);
  // Right click on `window` (an edit, or any other window): gives the
  // items of the edit menu that opened (empty if none did).
  std::vector<MenuItemSnapshot> RightClickEditMenu(HWND window);
  bool EditMenuOpen(HWND top);
  // Picks an item of the open edit menu (its id: WM_CUT, ...).
  bool PickEditMenuItem(HWND top, UINT id);

  void ClickNoWait(HWND top, int id);
  void ClickNoWait(HWND window);
  void TypeNoWait(HWND top, std::string_view text);
  void KeyNoWait(HWND top, UINT vk, bool shift = false);
  void SpaceNoWait(HWND top);
  void CloseBoxNoWait(HWND top);
  void PickSystemMenuItemNoWait(HWND top, UINT id);

  // ---- Reading controls ---------------------------------------------------------
  std::string Text(HWND top, int id);
  bool Enabled(HWND top, int id);
  int Check(HWND top, int id);  // BST_*
  bool Focused(HWND top, int id);
  int FocusId(HWND top);  // id of the focused control, 0 if none
  bool SystemMenuOpen(HWND top);

  // ---- Idle ---------------------------------------------------------------------------
  // TRUE once `thread` is blocked in GetMessage with an empty queue.
  bool WaitIdle(DWORD thread, Ms timeout);
  bool WaitIdle(DWORD thread) { return WaitIdle(thread, timeout_); }
  bool WaitIdleFor(HWND window);  // the window's owning thread
  static DWORD OwnerThread(HWND window);

  // ---- Message boxes --------------------------------------------------------------
  std::vector<OpenBox> OpenBoxes();
  // Waits for an open box (shown by any thread, or by `thread` if not 0).
  OpenBox WaitBox(Ms timeout, DWORD thread = 0);
  OpenBox WaitBox() { return WaitBox(timeout_); }
  // Closes an open box as its OK button does; waits until it is gone.
  bool CloseBox(const OpenBox& box);
  // ---- Open and save boxes (GetOpenFileNameA, GetSaveFileNameA) -------------
  // Waits for one to open; gives what it asks (null hwnd on timeout).
  TopLevelSnapshot WaitFileBox();
  // Answers it with `path` as the user's choice, or cancels it (null), and
  // waits until it is gone.
  bool AnswerFileBox(HWND box, const std::string* path);

  std::vector<BoxRecord> Recorded();
  void ClearRecorded();
  // Waits until at least n boxes were recorded; TRUE if so.
  bool WaitRecorded(std::size_t n, Ms timeout);
  bool WaitRecorded(std::size_t n) { return WaitRecorded(n, timeout_); }

 private:
  bool EndAtOnce() override;
  void Opened(const platform::ui::BoxEvent& box) override;
  void Closed(HWND box) override;
  bool AfterPost(HWND window);
  Ms timeout_;
  std::mutex mu_;  // guards what follows; taken under the model lock
  std::condition_variable recorded_;
  bool autoAcknowledge_ = false;
  std::vector<BoxRecord> boxes_;
};

// A thread with a message loop and one hidden top-level window, for code
// that sends or posts to a window of another thread (as a worker thread
// notifies its owner). Every message that reaches the window is recorded
// (and then given to `handler` if set, whose result SendMessage returns).
class PumpThread {
 public:
  struct Received {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    DWORD senderThread;  // thread that ran the window procedure (= owner)
  };
  using Handler = std::function<LRESULT(UINT, WPARAM, LPARAM)>;

  explicit PumpThread(Handler handler = nullptr);
  ~PumpThread();  // posts WM_QUIT and joins
  PumpThread(const PumpThread&) = delete;
  PumpThread& operator=(const PumpThread&) = delete;

  HWND hwnd() const { return hwnd_; }
  CWnd* wnd() const;  // the CWnd bound to hwnd() (owned by this object)
  DWORD thread() const { return threadId_; }
  std::vector<Received> received();
  // Waits until n messages with id msg arrived.
  bool WaitReceived(UINT msg, std::size_t n, Ms timeout);

 private:
  static LRESULT Proc(HWND, UINT, WPARAM, LPARAM);
  Handler handler_;
  std::thread thread_;
  HWND hwnd_ = nullptr;
  DWORD threadId_ = 0;
  std::unique_ptr<CWnd> wnd_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Received> received_;
};

}  // namespace testsupport::ui
