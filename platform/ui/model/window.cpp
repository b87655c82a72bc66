// Window records: creation, destruction, state, snapshots, menus, icons and
// painting. Everything here takes the model lock briefly and never calls a
// window procedure or the backend while holding it.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>

#include "platform/ui/model/backend.h"
#include "platform/ui/model/internal.h"
#include "platform/ui/model/scale.h"
#include "platform/ui/model/user32.h"
#include "platform/ui/model/watch.h"
#include "platform/ui/model/windows.h"
#include "platform/win32/threads.h"

namespace platform::ui {
namespace detail {

Model& M() {
  // Never destroyed: worker threads may still touch it during exit.
  static Model* model = new Model;
  return *model;
}

void ModelChanged() {
  ++M().changes;
  M().changed.notify_all();
}

DWORD CurrentThread() {
  return ::GetCurrentThreadId();
}

Window* Find(HWND hwnd) {
  auto it = M().windows.find(hwnd);
  return it == M().windows.end() ? nullptr : it->second.get();
}

Window* TopOf(Window* w) {
  while (w && w->parent) w = Find(w->parent);
  return w;
}

bool TakesFocus(const Window* w) {
  switch (w->kind) {
    case WindowKind::kPushButton:
    case WindowKind::kCheckBox:
    case WindowKind::kEdit:
      return w->enabled && w->visible;
    case WindowKind::kPainted:
      return w->enabled && w->visible && (w->style & WS_TABSTOP) != 0;
    default:
      return false;
  }
}

bool EffectivelyEnabled(const Window* w) {
  for (; w; w = w->parent ? Find(w->parent) : nullptr) {
    if (!w->enabled) return false;
  }
  return true;
}

void NotifyChanged(HWND window, unsigned changes) {
  HWND top = nullptr;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(window);
    Window* t = TopOf(w);
    if (!t || !t->shownOnBackend) return;
    top = t->hwnd;
  }
  CurrentBackend()->WindowChanged(top, window, changes);
}

namespace {

void (*g_destroyHook)(HWND, void*) = nullptr;

WNDPROC DefaultProcFor(WindowKind kind) {
  switch (kind) {
    case WindowKind::kPushButton:
    case WindowKind::kCheckBox:
    case WindowKind::kGroupBox:
      return ButtonProc;
    case WindowKind::kEdit:
      return EditProc;
    case WindowKind::kStatic:
    case WindowKind::kIcon:
      return StaticProc;
    case WindowKind::kProgress:
      return ProgressProc;
    default:
      return DefWindowProcA;
  }
}

WindowSnapshot Snap(const Window& w) {
  WindowSnapshot s;
  s.hwnd = w.hwnd;
  s.kind = w.kind;
  s.id = w.id;
  s.className = w.className;
  s.style = w.style;
  s.exStyle = w.exStyle;
  s.text = w.text;
  s.rect = w.rect;
  s.enabled = w.enabled;
  s.visible = w.visible;
  s.check = w.check;
  s.defaultButton = w.kind == WindowKind::kPushButton && (w.style & 0xF) == BS_DEFPUSHBUTTON;
  s.pushed = w.pushed;
  s.selStart = w.selStart;
  s.selEnd = w.selEnd;
  s.caret = w.caretAtStart ? w.selStart : w.selEnd;
  s.readOnly = (w.style & ES_READONLY) != 0 && w.kind == WindowKind::kEdit;
  s.centred = (w.style & ES_CENTER) != 0 && w.kind == WindowKind::kEdit;
  s.textLimit = w.limit;
  s.icon = w.icon;
  s.rangeMin = w.rangeMin;
  s.rangeMax = w.rangeMax;
  s.position = w.position;
  s.drawing = w.drawing;
  if (const Window* t = TopOf(const_cast<Window*>(&w))) s.focused = t->focus == w.hwnd;
  return s;
}

// The top-level that t is a dialog of (TopLevelSnapshot::owner). Lock held.
HWND OwnerOnScreen(const Window& t) {
  if (Window* o = Find(t.owner); o && o->visible) return o->hwnd;
  if (t.exStyle & WS_EX_APPWINDOW) return nullptr;
  const auto& tops = M().topLevels;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    Window* w = Find(*it);
    if (w && w != &t && w->thread == t.thread && w->visible) return w->hwnd;
  }
  return nullptr;
}

// HMENU values encode the top-level window that owns the system menu.
HMENU MenuOf(HWND top) {
  return reinterpret_cast<HMENU>(top);
}
HWND TopOfMenu(HMENU menu) {
  return reinterpret_cast<HWND>(menu);
}

}  // namespace
}  // namespace detail

using namespace detail;

const char* KindName(WindowKind kind) {
  switch (kind) {
    case WindowKind::kDialog:
      return "dialog";
    case WindowKind::kMessageBox:
      return "message box";
    case WindowKind::kPushButton:
      return "push button";
    case WindowKind::kCheckBox:
      return "check box";
    case WindowKind::kEdit:
      return "edit";
    case WindowKind::kStatic:
      return "static";
    case WindowKind::kGroupBox:
      return "group box";
    case WindowKind::kIcon:
      return "icon";
    case WindowKind::kProgress:
      return "progress bar";
    case WindowKind::kPainted:
      return "painted";
    case WindowKind::kFileBox:
      return "file box";
  }
  return "?";
}

HWND CreateModelWindow(const CreateParams& p) {
  auto w = std::make_unique<Window>();
  w->kind = p.kind;
  w->className = p.className;
  w->style = p.style;
  w->exStyle = p.exStyle;
  w->text = p.text;
  w->rect = p.rect;
  w->parent = p.parent;
  w->id = p.id;
  w->proc = p.proc ? p.proc : DefaultProcFor(p.kind);
  w->object = p.object;
  w->thread = CurrentThread();
  w->enabled = (p.style & WS_DISABLED) == 0;
  w->visible = p.parent ? (p.style & WS_VISIBLE) != 0 : false;
  if (!p.parent && (p.style & WS_SYSMENU)) {
    w->hasSystemMenu = true;
    w->systemMenu.push_back({SC_CLOSE, "&Close", false});
  }
  std::unique_lock<std::mutex> lock(M().mu);
  MyQueue(lock);
  HWND h = reinterpret_cast<HWND>(M().nextHandle);
  M().nextHandle += 4;
  w->hwnd = h;
  if (p.parent) {
    Window* parent = Find(p.parent);
    if (!parent) return nullptr;
    parent->children.push_back(h);
  } else {
    M().topLevels.push_back(h);
  }
  M().windows[h] = std::move(w);
  ModelChanged();
  return h;
}

void* GetWindowObject(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w ? w->object : nullptr;
}

void SetWindowObject(HWND hwnd, void* object) {
  std::lock_guard<std::mutex> lock(M().mu);
  if (Window* w = Find(hwnd)) w->object = object;
}

WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w) return nullptr;
  WNDPROC old = w->proc;
  w->proc = proc;
  return old;
}

void SetDestroyHook(void (*hook)(HWND, void*)) {
  g_destroyHook = hook;
}

bool IsDialogEnded(HWND hDlg) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hDlg);
  return !w || w->ended;
}

HWND FrontTopLevel() {
  std::lock_guard<std::mutex> lock(M().mu);
  DWORD me = CurrentThread();
  for (auto it = M().topLevels.rbegin(); it != M().topLevels.rend(); ++it) {
    Window* t = Find(*it);
    if (t && t->thread == me && t->visible) return t->hwnd;
  }
  return nullptr;
}

bool SnapshotTopLevel(HWND top, TopLevelSnapshot* out) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = Find(top);
  if (!t || t->parent) return false;
  *out = TopLevelSnapshot{};
  out->self = Snap(*t);
  for (HWND c : t->children) {
    if (Window* cw = Find(c)) out->children.push_back(Snap(*cw));
  }
  out->ownerThread = t->thread;
  out->owner = OwnerOnScreen(*t);
  out->focus = t->focus;
  out->bigIcon = t->bigIcon;
  out->smallIcon = t->smallIcon;
  out->iconic = t->iconic;
  out->hasSystemMenu = t->hasSystemMenu;
  for (const MenuItem& m : t->systemMenu) {
    out->systemMenu.push_back({m.id, m.text, m.separator, m.grayed});
  }
  out->editMenuFor = t->editMenuFor;
  for (const MenuItem& m : t->editMenu) {
    out->editMenu.push_back({m.id, m.text, m.separator, m.grayed});
  }
  out->systemMenuOpen = t->menuOpen;
  out->editMenuOpen = t->editMenuOpen;
  out->messageBoxType = t->boxType;
  out->painted = t->painted;
  out->fileBox = t->fileBox;
  return true;
}

bool SnapshotWindow(HWND hwnd, WindowSnapshot* out) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w) return false;
  *out = Snap(*w);
  return true;
}

std::vector<HWND> TopLevelWindows() {
  std::lock_guard<std::mutex> lock(M().mu);
  return M().topLevels;
}

bool WaitForModel(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(M().mu);
  for (;;) {
    // The count is taken before the condition reads the model: a change
    // while it reads is not missed.
    const std::uint64_t seen = M().changes;
    lock.unlock();
    if (condition()) return true;
    lock.lock();
    if (!M().changed.wait_until(lock, until, [&] { return M().changes != seen; })) {
      lock.unlock();
      return condition();
    }
  }
}

bool ThreadIdle(DWORD thread) {
  std::lock_guard<std::mutex> lock(M().mu);
  auto it = M().queues.find(thread);
  if (it == M().queues.end()) return true;
  const ThreadQueue& q = *it->second;
  return q.waiting > 0 && q.posted.empty() && q.sent.empty();
}

}  // namespace platform::ui

using namespace platform::ui;
using namespace platform::ui::detail;

BOOL IsWindow(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  return Find(hwnd) != nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  // Children first (their procedures see WM_DESTROY), then the window.
  std::vector<HWND> order;
  bool wasShown = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    order = w->children;
    order.push_back(hwnd);
    wasShown = w->shownOnBackend;
  }
  for (HWND h : order) CallProc(h, WM_DESTROY, 0, 0);
  std::vector<std::pair<HWND, void*>> bound;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (w->parent) {
      if (Window* parent = Find(w->parent)) {
        auto& c = parent->children;
        c.erase(std::remove(c.begin(), c.end(), hwnd), c.end());
        if (Window* t = TopOf(parent); t && t->focus == hwnd) t->focus = nullptr;
      }
    } else {
      auto& t = M().topLevels;
      t.erase(std::remove(t.begin(), t.end(), hwnd), t.end());
    }
    for (HWND h : order) {
      auto it = M().windows.find(h);
      if (it == M().windows.end()) continue;
      if (it->second->object) bound.emplace_back(h, it->second->object);
      M().windows.erase(it);
    }
    ModelChanged();
  }
  if (g_destroyHook) {
    for (auto& [h, obj] : bound) g_destroyHook(h, obj);
  }
  if (wasShown) CurrentBackend()->DestroyTopLevel(hwnd);
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  bool wasVisible = false;
  bool top = false;
  bool show = cmd != SW_HIDE;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    wasVisible = w->visible;
    top = w->parent == nullptr;
    w->visible = show;
    if (cmd == SW_MINIMIZE) w->iconic = true;
    if (cmd == SW_RESTORE) w->iconic = false;
    if (top && show) w->shownOnBackend = true;
    // A window that paints itself draws once before it is first seen.
    if (top && show && !wasVisible) InvalidatePaintedChildren(w);
    ModelChanged();
  }
  if (top) {
    if (show && !wasVisible) {
      CurrentBackend()->ShowTopLevel(hwnd);
    } else if (!show && wasVisible) {
      CurrentBackend()->HideTopLevel(hwnd);
    }
    if (cmd == SW_MINIMIZE || cmd == SW_RESTORE) NotifyChanged(hwnd, kChangeIconic);
  } else if (show != wasVisible) {
    NotifyChanged(hwnd, kChangeState);
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w && w->visible;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  bool wasDisabled = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
    // A disabled control keeps the focus if it has it, as the classic
    // window system does: keys aimed at it are lost meanwhile (input.cpp),
    // and the dialog manager moves the focus on only if the control is
    // still disabled once the message that disabled it has been handled
    // (RestoreDialogFocus). A button held down by Space is let go.
    if (!w->enabled) {
      w->pushed = false;
      // Disabled by another thread: no message of the dialog's own is
      // being handled, so one is sent to have the focus put right.
      Window* t = TopOf(w);
      if (t && t != w && t->focus == hwnd && w->thread != CurrentThread()) {
        PostLocked(t->hwnd, WM_NULL, 0, 0);
      }
    }
  }
  if (wasDisabled == (enable != FALSE)) NotifyChanged(hwnd, kChangeState | kChangeFocus);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w && w->enabled;
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    w->text = text ? text : "";
    w->selStart = w->selEnd = 0;
    w->undo = EditUndo{};  // an edit's undo is for the text it replaced
  }
  NotifyChanged(hwnd, kChangeText | kChangeSelection);
  return TRUE;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t n = std::min(w->text.size(), static_cast<std::size_t>(maxCount - 1));
  std::memcpy(buffer, w->text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

int GetWindowTextLengthA(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w ? static_cast<int>(w->text.size()) : 0;
}

HWND GetDlgItem(HWND hDlg, int id) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* d = Find(hDlg);
  if (!d) return nullptr;
  for (HWND c : d->children) {
    if (Window* w = Find(c); w && w->id == id) return c;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w ? w->id : 0;
}

HWND GetParent(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w ? (w->parent ? w->parent : w->owner) : nullptr;
}

BOOL SetDlgItemTextA(HWND hDlg, int id, LPCSTR text) {
  HWND h = GetDlgItem(hDlg, id);
  return h ? SetWindowTextA(h, text) : FALSE;
}

LRESULT SendDlgItemMessageA(HWND hDlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND h = GetDlgItem(hDlg, id);
  return h ? SendMessageA(h, msg, wParam, lParam) : 0;
}

UINT GetDlgItemTextA(HWND hDlg, int id, LPSTR buffer, int maxCount) {
  HWND h = GetDlgItem(hDlg, id);
  if (!h) {
    if (buffer && maxCount > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(h, buffer, maxCount));
}

HWND SetFocus(HWND hwnd) {
  HWND previous = nullptr;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    Window* t = TopOf(w);
    previous = t->focus;
    if (w->parent) {
      if (!TakesFocus(w)) return previous;
      t->focus = hwnd;
      // A button held down by Space is let go when it loses the focus.
      if (Window* old = Find(previous); old && old != w) old->pushed = false;
    }
  }
  if (previous != hwnd) NotifyChanged(hwnd, kChangeFocus);
  return previous;
}

HWND GetFocus() {
  // The focus of the calling thread's most recent visible top-level.
  std::lock_guard<std::mutex> lock(M().mu);
  DWORD me = CurrentThread();
  for (auto it = M().topLevels.rbegin(); it != M().topLevels.rend(); ++it) {
    Window* t = Find(*it);
    if (t && t->thread == me && t->visible) return t->focus;
  }
  return nullptr;
}

BOOL IsIconic(HWND hwnd) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w && w->iconic;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w || !rect) return FALSE;
  *rect = w->rect;
  return TRUE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
  if (processId) *processId = 1;
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  return w ? w->thread : 0;
}

BOOL EndDialog(HWND hDlg, INT_PTR result) {
  bool wasVisible = false;
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hDlg);
    if (!w || w->parent) return FALSE;
    w->ended = true;
    w->result = result;
    wasVisible = w->visible;
    // Wake the modal loop if another thread ended it.
    PostLocked(hDlg, WM_NULL, 0, 0);
  }
  if (wasVisible) ShowWindow(hDlg, SW_HIDE);
  return TRUE;
}

// ---- System menu ------------------------------------------------------------------

HMENU GetSystemMenu(HWND hwnd, BOOL /*revert*/) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(hwnd);
  if (!w || w->parent || !w->hasSystemMenu) return nullptr;
  return MenuOf(hwnd);
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  HWND top = TopOfMenu(menu);
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(top);
    if (!w || !w->hasSystemMenu) return FALSE;
    if (flags & MF_SEPARATOR) {
      w->systemMenu.push_back({0, "", true});
    } else {
      w->systemMenu.push_back({static_cast<UINT>(id), text ? text : "", false});
    }
  }
  NotifyChanged(top, kChangeMenu);
  return TRUE;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* w = Find(TopOfMenu(menu));
  return w && w->hasSystemMenu ? static_cast<int>(w->systemMenu.size()) : -1;
}

void platform::ui::detail::OpenSystemMenu(HWND top, int x, int y) {
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(top);
    if (!w || w->parent || !w->hasSystemMenu || !w->visible) return;
    w->menuOpen = true;
    ModelChanged();
  }
  CurrentBackend()->PopupSystemMenu(top, x, y);
}

// ---- Icons and painting -------------------------------------------------------------

int GetSystemMetrics(int index) {
  switch (index) {
    // On a scaled display icons are magnified in whole steps.
    case SM_CXICON:
    case SM_CYICON:
      return 32 * IconStep();
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16 * IconStep();
    case SM_CXSCREEN:
      return 1024;
    case SM_CYSCREEN:
      return 768;
    default:
      return 0;
  }
}

// An HDC names the window it paints (there is no drawing surface in the
// model; DrawIcon records what was drawn for the backend and the tests).
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    w->painted.clear();
    w->drawingNext.clear();
    w->paintDue = false;
    if (ps) {
      *ps = PAINTSTRUCT{};
      ps->rcPaint = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    }
  }
  HDC dc = reinterpret_cast<HDC>(hwnd);
  if (ps) ps->hdc = dc;
  return dc;
}

// A window that paints itself shows its new drawing whole, once complete.
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT*) {
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w || w->kind != WindowKind::kPainted) return TRUE;
    w->drawing.swap(w->drawingNext);
    w->drawingNext.clear();
    ModelChanged();
  }
  NotifyChanged(hwnd, kChangePaint);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  return reinterpret_cast<HDC>(hwnd);
}
int ReleaseDC(HWND, HDC) {
  return 1;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  HWND hwnd = reinterpret_cast<HWND>(dc);
  {
    std::lock_guard<std::mutex> lock(M().mu);
    Window* w = Find(hwnd);
    if (!w || !icon) return FALSE;
    w->painted.push_back({x, y, icon});
  }
  NotifyChanged(hwnd, kChangeIcon);
  return TRUE;
}
