// Per-thread message queues: posting, cross-thread SendMessage, GetMessage
// and DispatchMessage, default processing and the modal loop. A message
// sent from another thread waits in the target thread's queue and is
// handled inside that thread's GetMessage/PeekMessage (or while that
// thread itself waits in a SendMessage), never on the sender's thread.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/user32.h"
#include "platform/ui/model/windows.h"

namespace platform::ui::detail {
namespace {

// Ends the thread's queue when the thread ends: senders still waiting for
// a reply get 0 instead of waiting for ever.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    std::vector<HWND> shown;
    {
      std::lock_guard<std::mutex> lock(M().mu);
      EndQueue();
      // A thread's windows end with it (their procedures are not called:
      // the objects behind them may be gone already).
      std::vector<HWND> mine;
      for (auto& [h, w] : M().windows) {
        if (w->thread == queue->thread && !w->parent) mine.push_back(h);
      }
      for (HWND h : mine) {
        Window* w = Find(h);
        if (w->shownOnBackend) shown.push_back(h);
        for (HWND c : w->children) M().windows.erase(c);
        M().windows.erase(h);
        auto& t = M().topLevels;
        t.erase(std::remove(t.begin(), t.end(), h), t.end());
      }
      ModelChanged();
    }
    for (HWND h : shown) CurrentBackend()->DestroyTopLevel(h);
  }

  void EndQueue() {
    queue->alive = false;
    for (auto& call : queue->sent) {
      call->done = true;
      call->sender->cv.notify_all();
    }
    queue->sent.clear();
    queue->posted.clear();
    auto it = M().queues.find(queue->thread);
    if (it != M().queues.end() && it->second == queue) M().queues.erase(it);
  }
};

thread_local QueueHolder t_queue;

// Runs one message sent by another thread. Lock held on entry and exit,
// released around the window procedure.
void HandleSent(std::unique_lock<std::mutex>& lock, const std::shared_ptr<ThreadQueue>& q) {
  std::shared_ptr<SentCall> call = q->sent.front();
  q->sent.pop_front();
  lock.unlock();
  LRESULT result = CallProc(call->msg.hwnd, call->msg.message, call->msg.wParam, call->msg.lParam);
  lock.lock();
  call->result = result;
  call->done = true;
  call->sender->cv.notify_all();
}

BOOL TakeMessage(LPMSG msg, bool wait, bool remove) {
  std::unique_lock<std::mutex> lock(M().mu);
  auto q = MyQueue(lock);
  for (;;) {
    if (!q->sent.empty()) {
      HandleSent(lock, q);
      continue;
    }
    if (!q->posted.empty()) {
      *msg = q->posted.front();
      if (remove) q->posted.pop_front();
      return TRUE;
    }
    if (!wait) return FALSE;
    ++q->waiting;
    ModelChanged();
    q->cv.wait(lock);
    --q->waiting;
  }
}

}  // namespace

std::shared_ptr<ThreadQueue> MyQueue(std::unique_lock<std::mutex>&) {
  if (!t_queue.queue) {
    auto q = std::make_shared<ThreadQueue>();
    q->thread = CurrentThread();
    M().queues[q->thread] = q;
    t_queue.queue = q;
  }
  return t_queue.queue;
}

bool PostLocked(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  Window* win = Find(hwnd);
  if (!win) return false;
  auto it = M().queues.find(win->thread);
  if (it == M().queues.end() || !it->second->alive) return false;
  it->second->posted.push_back(MSG{hwnd, msg, w, l});
  it->second->cv.notify_all();
  ModelChanged();
  return true;
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* win = Find(hwnd);
    if (!win) return 0;
    proc = win->proc;
  }
  return proc ? proc(hwnd, msg, w, l) : 0;
}

}  // namespace platform::ui::detail

using namespace platform::ui;
using namespace platform::ui::detail;

BOOL GetMessageA(LPMSG msg, HWND, UINT, UINT) {
  TakeMessage(msg, true, true);
  return msg->message != WM_QUIT;
}

BOOL PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT removeFlags) {
  return TakeMessage(msg, false, (removeFlags & PM_REMOVE) != 0);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(M().mu);
  return PostLocked(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
  std::unique_lock<std::mutex> lock(M().mu);
  auto q = MyQueue(lock);
  q->posted.push_back(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0});
  q->cv.notify_all();
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::unique_lock<std::mutex> lock(M().mu);
  Window* win = Find(hwnd);
  if (!win) return 0;
  if (win->thread == CurrentThread()) {
    lock.unlock();
    return CallProc(hwnd, msg, wParam, lParam);
  }
  auto it = M().queues.find(win->thread);
  if (it == M().queues.end() || !it->second->alive) return 0;
  std::shared_ptr<ThreadQueue> target = it->second;
  std::shared_ptr<ThreadQueue> me = MyQueue(lock);
  auto call = std::make_shared<SentCall>();
  call->msg = MSG{hwnd, msg, wParam, lParam};
  call->sender = me;
  target->sent.push_back(call);
  target->cv.notify_all();
  ModelChanged();
  // Messages sent to this thread meanwhile are handled here, so two
  // threads sending to each other do not deadlock.
  while (!call->done) {
    if (!me->sent.empty()) {
      HandleSent(lock, me);
      continue;
    }
    me->cv.wait(lock);
  }
  return call->result;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  HWND hwnd = msg->hwnd;
  UINT m = msg->message;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return 0;
    bool input = m == kMsgInputClick || m == kMsgInputRightClick || m == kMsgInputSysCommand ||
                 m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_CHAR ||
                 m == kMsgInputEditMouse || m == kMsgInputPaste || m == kMsgInputEditMenu;
    // Input was judged as it arrived (platform/ui/model/input.cpp); a window that
    // has stopped taking input while the input waited loses it too.
    if (input && !TakesInput(w)) return 0;
    if (m == kMsgInputSysCommand && msg->lParam == 1) {
      // A menu choice: only items of the menu, and the menu closes.
      bool found = false;
      for (const MenuItem& item : w->systemMenu) found |= !item.separator && item.id == msg->wParam;
      w->menuOpen = false;
      ModelChanged();
      if (!found) return 0;
    }
    if (m == kMsgInputIconic) {
      w->iconic = msg->wParam != 0;
      return 0;
    }
  }
  switch (m) {
    case kMsgInputClick:
      CallProc(hwnd, WM_LBUTTONDOWN, 0, 0);
      return CallProc(hwnd, WM_LBUTTONUP, 0, 0);
    case kMsgInputRightClick:
      return CallProc(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), msg->lParam);
    case kMsgInputSysCommand:
      return CallProc(hwnd, WM_SYSCOMMAND, msg->wParam, 0);
    default:
      return CallProc(hwnd, m, msg->wParam, msg->lParam);
  }
}

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          return SendMessageA(hwnd, WM_CLOSE, 0, 0);
        case SC_MINIMIZE:
          ShowWindow(hwnd, SW_MINIMIZE);
          return 0;
        case SC_RESTORE:
          ShowWindow(hwnd, SW_RESTORE);
          return 0;
        default:
          return 0;
      }
    case WM_CLOSE: {
      WindowKind kind;
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* w = Find(hwnd);
        if (!w) return 0;
        kind = w->kind;
      }
      if (kind == WindowKind::kDialog || kind == WindowKind::kMessageBox) {
        // The close box of a dialog is its Cancel command.
        return SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
      }
      DestroyWindow(hwnd);
      return 0;
    }
    case WM_CONTEXTMENU: {
      // A right click (lParam: x | y << 16 in the top-level's client area)
      // anywhere but in an edit opens the system menu there.
      HWND top = nullptr;
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* t = TopOf(Find(hwnd));
        if (!t) return 0;
        top = t->hwnd;
      }
      if (lParam == -1) lParam = 0;
      OpenSystemMenu(top, LOWORD(lParam), HIWORD(lParam));
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (wParam == VK_SPACE) {
        HWND top = hwnd;
        {
          std::lock_guard<std::mutex> lock(M().mu);
          Window* t = TopOf(Find(hwnd));
          if (!t) return 0;
          top = t->hwnd;
        }
        OpenSystemMenu(top, 0, 0);
      }
      return 0;
    case WM_SETICON: {
      HICON old = nullptr;
      {
        std::lock_guard<std::mutex> lock(M().mu);
        Window* w = Find(hwnd);
        if (!w) return 0;
        HICON& slot = wParam == ICON_BIG ? w->bigIcon : w->smallIcon;
        old = slot;
        slot = reinterpret_cast<HICON>(lParam);
      }
      NotifyChanged(hwnd, kChangeIcon);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
    case WM_QUERYDRAGICON: {
      std::lock_guard<std::mutex> lock(M().mu);
      Window* w = Find(hwnd);
      if (!w) return 0;
      bool small = msg == WM_GETICON && wParam == ICON_SMALL;
      return reinterpret_cast<LRESULT>(small ? w->smallIcon : w->bigIcon);
    }
    case WM_INITDIALOG:
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND:
      return 1;
    case WM_SETTEXT:
      return SetWindowTextA(hwnd, reinterpret_cast<LPCSTR>(lParam));
    case WM_GETTEXT:
      return GetWindowTextA(hwnd, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
      return GetWindowTextLengthA(hwnd);
    default:
      return 0;
  }
}

namespace platform::ui {

void TranslateAndDispatch(MSG* msg) {
  HWND top = nullptr;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* t = TopOf(Find(msg->hwnd));
    if (t && (t->kind == WindowKind::kDialog || t->kind == WindowKind::kMessageBox)) top = t->hwnd;
  }
  if (top && IsDialogMessageA(top, msg)) return;
  DispatchMessageA(msg);
}

void RequestCloseAll() {
  std::lock_guard<std::mutex> lock(M().mu);
  M().closeAll = true;
  // A message for no window wakes each thread that waits in its loop; the
  // loop then sees the request.
  for (auto& [thread, q] : M().queues) {
    if (!q->alive) continue;
    q->posted.push_back(MSG{nullptr, WM_NULL, 0, 0});
    q->cv.notify_all();
  }
  ModelChanged();
}

bool CloseAllRequested() {
  std::lock_guard<std::mutex> lock(M().mu);
  return M().closeAll;
}

INT_PTR RunModalLoop(HWND hDlg) {
  bool closing = false;
  while (!IsDialogEnded(hDlg)) {
    if (!closing && CloseAllRequested()) {
      // Once: the close box ends every dialog and box of the program.
      closing = true;
      SendMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
      continue;
    }
    MSG msg;
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return -1;
    }
    TranslateAndDispatch(&msg);
    // Only the dialog's own loop: inside a nested loop (a box of the
    // running command) the command has not ended yet.
    RestoreDialogFocus(hDlg);
  }
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hDlg);
  return w ? w->result : -1;
}

}  // namespace platform::ui
