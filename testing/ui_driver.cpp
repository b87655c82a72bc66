// The test driver and the pump thread, on the window model's public calls
// and its watcher seam.
#include "testing/ui_driver.h"

#include <algorithm>
#include <future>
#include <map>

#include "platform/ui/framework/afxwin.h"
#include "platform/ui/model/backend.h"
#include "platform/ui/model/user32.h"
#include "platform/ui/model/windows.h"

namespace testsupport::ui {

using namespace platform::ui;

namespace {

// The text of a box: its static text control's.
std::string BoxText(const TopLevelSnapshot& box) {
  for (const WindowSnapshot& c : box.children) {
    if (c.kind == WindowKind::kStatic) return c.text;
  }
  return "";
}

// The first visible top-level that fits, or null.
template <class Fits>
HWND FindTopLevel(Fits fits) {
  for (HWND h : TopLevelWindows()) {
    WindowSnapshot s;
    if (SnapshotWindow(h, &s) && s.visible && fits(s)) return h;
  }
  return nullptr;
}

// Waits for a visible top-level that fits; null after the timeout.
template <class Fits>
HWND WaitForTopLevel(Fits fits, Ms timeout) {
  HWND found = nullptr;
  WaitForModel([&] { return (found = FindTopLevel(fits)) != nullptr; }, timeout);
  return found;
}

// The open boxes (shown, not ended), of thread or of any thread for 0.
std::vector<OpenBox> OpenBoxesOf(DWORD thread) {
  std::vector<OpenBox> out;
  for (HWND h : TopLevelWindows()) {
    TopLevelSnapshot s;
    if (!SnapshotTopLevel(h, &s) || s.self.kind != WindowKind::kMessageBox || !s.self.visible ||
        IsDialogEnded(h) || (thread != 0 && s.ownerThread != thread)) {
      continue;
    }
    out.push_back(OpenBox{h, s.self.text, BoxText(s), s.messageBoxType, s.ownerThread});
  }
  return out;
}

}  // namespace

Driver::Driver(bool autoAcknowledge, Ms timeout)
    : timeout_(timeout), autoAcknowledge_(autoAcknowledge) {
  CurrentBackend();
  SetBoxWatcher(this);
}

Driver::~Driver() {
  SetBoxWatcher(nullptr);
}

void Driver::SetAutoAcknowledge(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  autoAcknowledge_ = on;
}

bool Driver::EndAtOnce() {
  std::lock_guard<std::mutex> lock(mu_);
  return autoAcknowledge_;
}

void Driver::Opened(const BoxEvent& box) {
  std::lock_guard<std::mutex> lock(mu_);
  boxes_.push_back(BoxRecord{box.caption, box.text, box.type, box.thread, box.hwnd, !box.hwnd});
  recorded_.notify_all();
}

void Driver::Closed(HWND box) {
  std::lock_guard<std::mutex> lock(mu_);
  for (BoxRecord& r : boxes_) {
    if (r.hwnd == box) r.closed = true;
  }
  recorded_.notify_all();
}

HWND Driver::WaitTopLevel(std::string_view caption, Ms timeout) {
  return WaitForTopLevel([&](const WindowSnapshot& s) { return s.text == caption; }, timeout);
}

HWND Driver::WaitTopLevelOfKind(WindowKind kind, Ms timeout) {
  return WaitForTopLevel([&](const WindowSnapshot& s) { return s.kind == kind; }, timeout);
}

bool Driver::WaitGone(HWND top, Ms timeout) {
  return WaitForModel(
      [&] {
        WindowSnapshot s;
        return !SnapshotWindow(top, &s) || !s.visible;
      },
      timeout);
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
  for (HWND top : TopLevelWindows()) {
    TopLevelSnapshot s;
    if (!SnapshotTopLevel(top, &s)) continue;
    const bool mine = top == window || std::any_of(s.children.begin(), s.children.end(),
                                                   [&](const auto& c) { return c.hwnd == window; });
    if (mine) return s.editMenuOpen ? s.editMenu : std::vector<MenuItemSnapshot>{};
  }
  return {};
}

bool Driver::EditMenuOpen(HWND top) {
  TopLevelSnapshot s;
  return SnapshotTopLevel(top, &s) && s.editMenuOpen;
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
  TopLevelSnapshot s;
  const bool open = WaitForModel(
      [&] {
        s = TopLevelSnapshot{};
        return !SnapshotTopLevel(top, &s) || s.systemMenuOpen;
      },
      timeout);
  if (!open || !s.systemMenuOpen) return {};
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
  TopLevelSnapshot s;
  if (!SnapshotTopLevel(top, &s) || s.focus == nullptr) return 0;
  for (const WindowSnapshot& c : s.children) {
    if (c.hwnd == s.focus) return c.id;
  }
  return 0;
}

bool Driver::SystemMenuOpen(HWND top) {
  TopLevelSnapshot s;
  return SnapshotTopLevel(top, &s) && s.systemMenuOpen;
}

bool Driver::WaitIdle(DWORD thread, Ms timeout) {
  return WaitForModel([&] { return ThreadIdle(thread); }, timeout);
}

bool Driver::WaitIdleFor(HWND window) {
  return AfterPost(window);
}

std::vector<OpenBox> Driver::OpenBoxes() {
  return OpenBoxesOf(0);
}

OpenBox Driver::WaitBox(Ms timeout, DWORD thread) {
  OpenBox found;
  WaitForModel(
      [&] {
        const std::vector<OpenBox> open = OpenBoxesOf(thread);
        if (!open.empty()) found = open.front();
        return !open.empty();
      },
      timeout);
  return found;
}

bool Driver::CloseBox(const OpenBox& box) {
  HWND ok = Item(box.hwnd, IDOK);
  if (!ok || !PostClick(ok)) return false;
  return WaitGone(box.hwnd, timeout_);
}

TopLevelSnapshot Driver::WaitFileBox() {
  HWND box = WaitTopLevelOfKind(WindowKind::kFileBox, timeout_);
  TopLevelSnapshot snap;
  if (!box || !platform::ui::SnapshotTopLevel(box, &snap)) return TopLevelSnapshot{};
  return snap;
}

bool Driver::AnswerFileBox(HWND box, const std::string* path) {
  return platform::ui::PostFileBoxAnswer(box, path) && WaitGone(box, timeout_);
}

std::vector<BoxRecord> Driver::Recorded() {
  std::lock_guard<std::mutex> lock(mu_);
  return boxes_;
}

void Driver::ClearRecorded() {
  std::lock_guard<std::mutex> lock(mu_);
  boxes_.clear();
}

bool Driver::WaitRecorded(std::size_t n, Ms timeout) {
  std::unique_lock<std::mutex> lock(mu_);
  return recorded_.wait_for(lock, timeout, [&] { return boxes_.size() >= n; });
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

}  // namespace testsupport::ui
