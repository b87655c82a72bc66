// The headless test driver and the pump thread.
#include "platform/ui/testing.h"

#include <future>
#include <map>

#include "platform/ui/afxwin.h"
#include "platform/ui/backend.h"
#include "platform/ui/internal.h"
#include "platform/ui/user32.h"
#include "platform/ui/windows.h"

namespace platform::ui::testing {

using namespace detail;

namespace {

bool Idle(DWORD thread) {
  auto it = M().queues.find(thread);
  if (it == M().queues.end()) return true;  // the thread has ended
  const ThreadQueue& q = *it->second;
  return q.waiting > 0 && q.posted.empty() && q.sent.empty();
}

std::string BoxText(const Window& box) {
  for (HWND c : box.children) {
    Window* w = Find(c);
    if (w && w->kind == WindowKind::kStatic) return w->text;
  }
  return "";
}

}  // namespace

Driver::Driver(bool autoAcknowledge, Ms timeout) : timeout_(timeout) {
  CurrentBackend();
  std::lock_guard<std::mutex> lock(M().mu);
  M().recording = true;
  M().autoAcknowledge = autoAcknowledge;
}

Driver::~Driver() {
  std::lock_guard<std::mutex> lock(M().mu);
  M().recording = false;
  M().autoAcknowledge = false;
  M().boxes.clear();
}

void Driver::SetAutoAcknowledge(bool on) {
  std::lock_guard<std::mutex> lock(M().mu);
  M().autoAcknowledge = on;
}

HWND Driver::WaitTopLevel(std::string_view caption, Ms timeout) {
  std::unique_lock<std::mutex> lock(M().mu);
  HWND found = nullptr;
  M().changed.wait_for(lock, timeout, [&] {
    for (HWND h : M().topLevels) {
      Window* w = Find(h);
      if (w && w->visible && w->text == caption) {
        found = h;
        return true;
      }
    }
    return false;
  });
  return found;
}

HWND Driver::WaitTopLevelOfKind(WindowKind kind, Ms timeout) {
  std::unique_lock<std::mutex> lock(M().mu);
  HWND found = nullptr;
  M().changed.wait_for(lock, timeout, [&] {
    for (HWND h : M().topLevels) {
      Window* w = Find(h);
      if (w && w->visible && w->kind == kind) {
        found = h;
        return true;
      }
    }
    return false;
  });
  return found;
}

bool Driver::WaitGone(HWND top, Ms timeout) {
  std::unique_lock<std::mutex> lock(M().mu);
  return M().changed.wait_for(lock, timeout, [&] {
    Window* w = Find(top);
    return !w || !w->visible;
  });
}

std::vector<TopLevelSnapshot> Driver::TopLevels() {
  std::vector<TopLevelSnapshot> out;
  for (HWND h : TopLevelWindows()) {
    TopLevelSnapshot s;
    if (SnapshotTopLevel(h, &s)) out.push_back(std::move(s));
  }
  return out;
}

HWND Driver::Item(HWND top, int id) {
  return ::GetDlgItem(top, id);
}

TopLevelSnapshot Driver::Snapshot(HWND top) {
  TopLevelSnapshot s;
  SnapshotTopLevel(top, &s);
  return s;
}

DWORD Driver::OwnerThread(HWND window) {
  return ::GetWindowThreadProcessId(window, nullptr);
}

bool Driver::AfterPost(HWND window) {
  DWORD thread = OwnerThread(window);
  return thread != 0 && WaitIdle(thread, timeout_);
}

bool Driver::Click(HWND top, int id) {
  HWND h = Item(top, id);
  return h && Click(h);
}

bool Driver::Click(HWND window) {
  DWORD thread = OwnerThread(window);
  return PostClick(window) && WaitIdle(thread, timeout_);
}

bool Driver::Type(HWND top, std::string_view text) {
  DWORD thread = OwnerThread(top);
  for (char c : text) {
    if (!PostChar(top, c)) return false;
  }
  return WaitIdle(thread, timeout_);
}

bool Driver::Key(HWND top, UINT vk, bool shift, bool ctrl) {
  DWORD thread = OwnerThread(top);
  return PostKey(top, vk, shift, false, ctrl) && WaitIdle(thread, timeout_);
}

bool Driver::Ctrl(HWND top, char letter) {
  DWORD thread = OwnerThread(top);
  return PostChar(top, static_cast<char>(letter & 0x1F)) && WaitIdle(thread, timeout_);
}

bool Driver::Mouse(HWND edit, EditMouse what, int at) {
  DWORD thread = OwnerThread(edit);
  return PostEditMouse(edit, what, at) && WaitIdle(thread, timeout_);
}

std::vector<MenuItemSnapshot> Driver::RightClickEditMenu(HWND window) {
  if (!PostRightClick(window, 10, 10) || !WaitIdle(OwnerThread(window), timeout_)) return {};
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = TopOf(Find(window));
  if (!t || !t->editMenuOpen) return {};
  std::vector<MenuItemSnapshot> items;
  for (const MenuItem& m : t->editMenu) items.push_back({m.id, m.text, m.separator, m.grayed});
  return items;
}

bool Driver::EditMenuOpen(HWND top) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = Find(top);
  return t && t->editMenuOpen;
}

bool Driver::PickEditMenuItem(HWND top, UINT id) {
  DWORD thread = OwnerThread(top);
  return PostEditMenuChoice(top, id) && WaitIdle(thread, timeout_);
}

bool Driver::Space(HWND top) {
  DWORD thread = OwnerThread(top);
  return PostKey(top, VK_SPACE, false, false) && PostChar(top, ' ') && PostKeyUp(top, VK_SPACE) &&
         WaitIdle(thread, timeout_);
}

bool Driver::KeyRepeat(HWND top, UINT vk) {
  DWORD thread = OwnerThread(top);
  return PostKey(top, vk, false, false, false, true) && WaitIdle(thread, timeout_);
}

bool Driver::KeyUp(HWND top, UINT vk) {
  DWORD thread = OwnerThread(top);
  return PostKeyUp(top, vk) && WaitIdle(thread, timeout_);
}

bool Driver::CloseBox(HWND top) {
  DWORD thread = OwnerThread(top);
  return PostCloseBox(top) && WaitIdle(thread, timeout_);
}

namespace {
std::vector<MenuItemSnapshot> WaitMenu(HWND top, Ms timeout) {
  {
    std::unique_lock<std::mutex> lock(M().mu);
    bool open = M().changed.wait_for(lock, timeout, [&] {
      Window* w = Find(top);
      return !w || w->menuOpen;
    });
    if (!open || !Find(top)) return {};
  }
  TopLevelSnapshot s;
  if (!SnapshotTopLevel(top, &s)) return {};
  return s.systemMenu;
}
}  // namespace

std::vector<MenuItemSnapshot> Driver::OpenSystemMenu(HWND top) {
  if (!PostKey(top, VK_SPACE, false, true)) return {};
  return WaitMenu(top, timeout_);
}

std::vector<MenuItemSnapshot> Driver::RightClickSystemMenu(HWND top) {
  if (!PostRightClick(top, 10, 10)) return {};
  return WaitMenu(top, timeout_);
}

bool Driver::PickSystemMenuItem(HWND top, UINT id) {
  DWORD thread = OwnerThread(top);
  return PostSystemMenuChoice(top, id) && WaitIdle(thread, timeout_);
}

void Driver::ClickNoWait(HWND top, int id) {
  if (HWND h = Item(top, id)) PostClick(h);
}
void Driver::ClickNoWait(HWND window) {
  PostClick(window);
}
void Driver::TypeNoWait(HWND top, std::string_view text) {
  for (char c : text) PostChar(top, c);
}
void Driver::KeyNoWait(HWND top, UINT vk, bool shift) {
  PostKey(top, vk, shift, false);
}
void Driver::CloseBoxNoWait(HWND top) {
  PostCloseBox(top);
}
void Driver::PickSystemMenuItemNoWait(HWND top, UINT id) {
  PostSystemMenuChoice(top, id);
}

std::string Driver::Text(HWND top, int id) {
  WindowSnapshot s;
  return SnapshotWindow(Item(top, id), &s) ? s.text : std::string();
}

bool Driver::Enabled(HWND top, int id) {
  WindowSnapshot s;
  return SnapshotWindow(Item(top, id), &s) && s.enabled;
}

int Driver::Check(HWND top, int id) {
  WindowSnapshot s;
  return SnapshotWindow(Item(top, id), &s) ? s.check : -1;
}

bool Driver::Focused(HWND top, int id) {
  WindowSnapshot s;
  return SnapshotWindow(Item(top, id), &s) && s.focused;
}

int Driver::FocusId(HWND top) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = Find(top);
  Window* f = t ? Find(t->focus) : nullptr;
  return f ? f->id : 0;
}

bool Driver::SystemMenuOpen(HWND top) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = Find(top);
  return t && t->menuOpen;
}

bool Driver::WaitIdle(DWORD thread, Ms timeout) {
  std::unique_lock<std::mutex> lock(M().mu);
  return M().changed.wait_for(lock, timeout, [&] { return Idle(thread); });
}

bool Driver::WaitIdleFor(HWND window) {
  return AfterPost(window);
}

std::vector<OpenBox> Driver::OpenBoxes() {
  std::lock_guard<std::mutex> lock(M().mu);
  std::vector<OpenBox> out;
  for (HWND h : M().topLevels) {
    Window* w = Find(h);
    if (w && w->kind == WindowKind::kMessageBox && w->visible && !w->ended) {
      out.push_back(OpenBox{h, w->text, BoxText(*w), w->boxType, w->thread});
    }
  }
  return out;
}

OpenBox Driver::WaitBox(Ms timeout, DWORD thread) {
  std::unique_lock<std::mutex> lock(M().mu);
  OpenBox found;
  M().changed.wait_for(lock, timeout, [&] {
    for (HWND h : M().topLevels) {
      Window* w = Find(h);
      if (w && w->kind == WindowKind::kMessageBox && w->visible && !w->ended &&
          (thread == 0 || w->thread == thread)) {
        found = OpenBox{h, w->text, BoxText(*w), w->boxType, w->thread};
        return true;
      }
    }
    return false;
  });
  return found;
}

bool Driver::CloseBox(const OpenBox& box) {
  HWND ok = Item(box.hwnd, IDOK);
  if (!ok || !PostClick(ok)) return false;
  return WaitGone(box.hwnd, timeout_);
}

std::vector<BoxRecord> Driver::Recorded() {
  std::lock_guard<std::mutex> lock(M().mu);
  return M().boxes;
}

void Driver::ClearRecorded() {
  std::lock_guard<std::mutex> lock(M().mu);
  M().boxes.clear();
}

bool Driver::WaitRecorded(std::size_t n, Ms timeout) {
  std::unique_lock<std::mutex> lock(M().mu);
  return M().changed.wait_for(lock, timeout, [&] { return M().boxes.size() >= n; });
}

// ---- PumpThread ------------------------------------------------------------------------

namespace {
// Pump windows by handle (the window's object slot holds the CWnd).
std::mutex g_pumpsMu;
std::map<HWND, PumpThread*> g_pumps;
}  // namespace

PumpThread::PumpThread(Handler handler) : handler_(std::move(handler)) {
  std::promise<std::pair<HWND, DWORD>> ready;
  auto started = ready.get_future();
  wnd_ = std::make_unique<CWnd>();
  thread_ = std::thread([this, &ready] {
    CreateParams p;
    p.kind = WindowKind::kDialog;
    p.text = "pump";
    p.proc = &PumpThread::Proc;
    HWND h = CreateModelWindow(p);
    {
      std::lock_guard<std::mutex> lock(g_pumpsMu);
      g_pumps[h] = this;
    }
    wnd_->Attach(h);
    ready.set_value({h, ::GetCurrentThreadId()});
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0)) ::DispatchMessageA(&msg);
    ::DestroyWindow(h);
    std::lock_guard<std::mutex> lock(g_pumpsMu);
    g_pumps.erase(h);
  });
  auto [h, id] = started.get();
  hwnd_ = h;
  threadId_ = id;
}

PumpThread::~PumpThread() {
  ::PostMessageA(hwnd_, WM_QUIT, 0, 0);
  thread_.join();
}

CWnd* PumpThread::wnd() const {
  return wnd_.get();
}

LRESULT PumpThread::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  PumpThread* self = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_pumpsMu);
    auto it = g_pumps.find(hwnd);
    if (it != g_pumps.end()) self = it->second;
  }
  if (!self || msg == WM_DESTROY) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  {
    std::lock_guard<std::mutex> lock(self->mu_);
    self->received_.push_back(Received{msg, wParam, lParam, ::GetCurrentThreadId()});
  }
  self->cv_.notify_all();
  return self->handler_ ? self->handler_(msg, wParam, lParam) : 0;
}

std::vector<PumpThread::Received> PumpThread::received() {
  std::lock_guard<std::mutex> lock(mu_);
  return received_;
}

bool PumpThread::WaitReceived(UINT msg, std::size_t n, Ms timeout) {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, timeout, [&] {
    std::size_t count = 0;
    for (const Received& r : received_) count += r.msg == msg;
    return count >= n;
  });
}

}  // namespace platform::ui::testing
