// The FLTK backend: one display thread owns FLTK and every window on it.
// Model threads never touch FLTK: a Backend call queues a command and wakes
// the display thread with Fl::awake, which is safe without FLTK's lock.
// Only the display thread takes Fl::lock(), once, before anyone can call
// Fl::awake (the lock's first use sets up the wake-up pipe).
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/fltk/clipboard.h"
#include "platform/ui/fltk/file_box.h"
#include "platform/ui/fltk/held_keys.h"
#include "platform/ui/fltk/input_focus.h"
#include "platform/ui/fltk/paint.h"
#include "platform/ui/fltk/top_window.h"
#include "platform/ui/fltk/xresources.h"
#include "platform/ui/model/backend.h"
#include "platform/ui/model/scale.h"

namespace platform::ui {
namespace fltk {
namespace {

// FLTK is one per process: only one backend may drive it.
std::atomic<bool> g_fltkInUse{false};

constexpr double kForever = 1e20;  // seconds: FLTK's own value for no time-out

class FltkBackend final : public Backend {
 public:
  FltkBackend() = default;
  ~FltkBackend() override { Stop(); }
  FltkBackend(const FltkBackend&) = delete;
  FltkBackend& operator=(const FltkBackend&) = delete;

  bool Start(std::string* error) override;
  void Stop() override;

  void ShowTopLevel(HWND top) override { Post({Op::kShow, top}); }
  void HideTopLevel(HWND top) override { Post({Op::kHide, top}); }
  void WindowChanged(HWND top, HWND, unsigned) override { Post({Op::kChanged, top}); }
  void DestroyTopLevel(HWND top) override { Post({Op::kDestroy, top}); }
  void PopupSystemMenu(HWND top, int x, int y) override { Post({Op::kPopup, top, x, y}); }
  void PopupEditMenu(HWND top, int x, int y) override { Post({Op::kEditPopup, top, x, y}); }
  void CopyText(ClipboardKind which, const std::string& text) override {
    Post({Op::kCopy, nullptr, 0, 0, which, text});
  }
  void RequestPaste(HWND edit, ClipboardKind which) override {
    Post({Op::kPaste, edit, 0, 0, which});
  }
  // Only the display thread can ask X; the edit menu's Paste is greyed
  // there when nothing holds the clipboard.
  bool ClipboardMayHoldText() override { return true; }

 private:
  enum class Op { kShow, kHide, kChanged, kDestroy, kPopup, kEditPopup, kCopy, kPaste, kStop };
  struct Command {
    Op op;
    HWND top = nullptr;  // kPaste: the edit
    int x = 0;
    int y = 0;
    ClipboardKind which = ClipboardKind::kClipboard;
    std::string text = {};
  };

  // Any thread.
  void Post(Command c);
  static void AwakeCallback(void* self);

  // Display thread.
  void Run(Display* display);
  void Drain();
  void Execute(const Command& c);
  void RunPendingPopup();
  // An open or save box is FLTK's file chooser, not a window of ours.
  bool ShowFileBox(HWND top);
  static int OnXEvent(void* xevent, void* self);
  void FocusNewest();
  void HandOverFocus(TopWindow* leaving);

  std::mutex mu_;
  std::condition_variable readyCv_;
  bool ready_ = false;
  std::deque<Command> queue_;
  bool wakePending_ = false;  // an awake callback is on its way
  bool started_ = false;
  bool stopped_ = false;
  std::thread thread_;

  // Display thread only.
  bool running_ = true;
  HeldKeys keys_;  // before the windows, which refer to it
  std::map<HWND, std::unique_ptr<TopWindow>> windows_;
  std::map<HWND, std::unique_ptr<FileBox>> fileBoxes_;
  std::set<HWND> dirty_;
  std::optional<Command> popup_;  // kPopup or kEditPopup
  bool inPopup_ = false;
  std::unique_ptr<ClipboardBridge> clipboard_;
  // Windows destroyed while a popup menu runs its nested loop: hidden at
  // once, deleted when the popup has returned.
  std::vector<std::unique_ptr<TopWindow>> graveyard_;
};

bool FltkBackend::Start(std::string* error) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (started_) return fail("the FLTK backend was already started");
  }
  if (g_fltkInUse.exchange(true)) return fail("another FLTK backend is running");
  // Open the display here, so that a missing display is reported to the
  // caller instead of ending the process inside FLTK.
  // The name Xlib takes the display from (its DISPLAY), for the message.
  const char* name = XDisplayName(nullptr);
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    g_fltkInUse = false;
    if (!name || !*name) return fail("cannot open display (DISPLAY is not set)");
    return fail(std::string("cannot open display \"") + name + "\"");
  }
  // Before any window exists: everything is laid out at this scale.
  const std::optional<std::string> dpi = XftDpiResource(display);
  DecideDisplayScale(dpi ? dpi->c_str() : nullptr);
  {
    std::lock_guard<std::mutex> lock(mu_);
    started_ = true;
  }
  thread_ = std::thread(&FltkBackend::Run, this, display);
  std::unique_lock<std::mutex> lock(mu_);
  readyCv_.wait(lock, [this] { return ready_; });
  return true;
}

void FltkBackend::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!started_ || stopped_) return;
    stopped_ = true;
    queue_.push_back({Op::kStop});
  }
  Fl::awake(static_cast<void*>(nullptr));  // the loop drains after every wait
  thread_.join();
  g_fltkInUse = false;
}

void FltkBackend::Post(Command c) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!started_ || stopped_) return;  // nothing is drawn any more
    queue_.push_back(c);
    wake = !wakePending_;
    wakePending_ = true;
  }
  if (!wake) return;
  if (Fl::awake(&FltkBackend::AwakeCallback, this) != 0) {
    // FLTK's callback ring is full: wake the loop plainly (it drains after
    // every wait) and let the next command try the callback again.
    {
      std::lock_guard<std::mutex> lock(mu_);
      wakePending_ = false;
    }
    Fl::awake(static_cast<void*>(nullptr));
  }
}

void FltkBackend::AwakeCallback(void* self) {
  static_cast<FltkBackend*>(self)->Drain();
}

void FltkBackend::Run(Display* display) {
  Fl::lock();
  fl_open_display(display);
  // Menus and FLTK's own parts in the dialog colours.
  Fl::background(212, 208, 200);
  ChooseFontSize();
  // The windows' X class is the program's name, so that a task bar groups
  // and names them as the program's.
  Fl_Window::default_xclass(program_invocation_short_name);
  HeldKeys::AskForRepeatsWithoutReleases();
  Fl::add_system_handler(&FltkBackend::OnXEvent, this);
  clipboard_ = std::make_unique<ClipboardBridge>();
  {
    std::lock_guard<std::mutex> lock(mu_);
    ready_ = true;
  }
  readyCv_.notify_all();
  while (running_) {
    // Awake callbacks (Drain) run inside the wait, and every Fl::awake
    // ends it, so the wait has no time-out: an idle program sleeps until
    // an X event or a command arrives. (Fl::wait() without a time would
    // return at once, unflushed, while no window is shown; the timed form
    // flushes the X requests first and then waits for as long as FLTK's
    // own "forever".)
    Fl::wait(kForever);
    Drain();
    RunPendingPopup();
  }
  Fl::remove_system_handler(&FltkBackend::OnXEvent);
  graveyard_.clear();
  windows_.clear();
  fileBoxes_.clear();
  clipboard_.reset();
  Fl::flush();
  Fl::unlock();
}

void FltkBackend::Drain() {
  for (;;) {
    Command c;
    {
      std::lock_guard<std::mutex> lock(mu_);
      wakePending_ = false;
      if (queue_.empty()) break;
      c = queue_.front();
      queue_.pop_front();
    }
    Execute(c);
  }
  // Changes are applied once per window per batch, from a fresh snapshot.
  for (HWND top : dirty_) {
    auto it = windows_.find(top);
    if (it != windows_.end()) it->second->Refresh();
  }
  dirty_.clear();
}

void FltkBackend::Execute(const Command& c) {
  auto it = windows_.find(c.top);
  TopWindow* w = it != windows_.end() ? it->second.get() : nullptr;
  switch (c.op) {
    case Op::kShow:
      if (ShowFileBox(c.top)) return;
      if (!w) {
        auto made = std::make_unique<TopWindow>(c.top, keys_);
        w = made.get();
        windows_[c.top] = std::move(made);
      }
      if (!w->Refresh()) {
        windows_.erase(c.top);  // gone from the model already
        return;
      }
      dirty_.erase(c.top);
      {
        auto owner = windows_.find(w->snapshot().owner);
        w->ShowNow(owner != windows_.end() ? owner->second.get() : nullptr);
      }
      return;
    case Op::kHide:
      if (!w) return;
      HandOverFocus(w);
      w->HideNow();
      return;
    case Op::kChanged:
      // A window not shown yet gets its state when it is shown.
      if (w) dirty_.insert(c.top);
      return;
    case Op::kDestroy:
      fileBoxes_.erase(c.top);
      dirty_.erase(c.top);
      if (popup_ && popup_->top == c.top) popup_.reset();
      if (!w) return;
      HandOverFocus(w);
      if (inPopup_) {
        w->HideNow();
        graveyard_.push_back(std::move(it->second));
      }
      windows_.erase(c.top);
      return;
    case Op::kPopup:
    case Op::kEditPopup:
      popup_ = c;
      return;
    case Op::kCopy:
      clipboard_->Copy(c.which, c.text);
      return;
    case Op::kPaste:
      clipboard_->RequestPaste(c.top, c.which);
      return;
    case Op::kStop:
      running_ = false;
      return;
  }
}

bool FltkBackend::ShowFileBox(HWND top) {
  TopLevelSnapshot snap;
  if (!SnapshotTopLevel(top, &snap) || snap.self.kind != WindowKind::kFileBox) return false;
  if (!fileBoxes_.count(top)) fileBoxes_[top] = std::make_unique<FileBox>(snap);
  return true;
}

void FltkBackend::RunPendingPopup() {
  // The popup runs its own loop; it is started from the outer loop only,
  // never from inside a callback, and one at a time.
  if (!popup_ || inPopup_ || !running_) return;
  Command c = *popup_;
  popup_.reset();
  auto it = windows_.find(c.top);
  if (it == windows_.end() || !it->second->shown()) return;
  inPopup_ = true;
  if (c.op == Op::kEditPopup) {
    it->second->PopupEditMenu(c.x, c.y);
  } else {
    it->second->PopupSystemMenu(c.x, c.y);
  }
  inPopup_ = false;
  graveyard_.clear();
}

int FltkBackend::OnXEvent(void* xevent, void* self) {
  // Every X event passes here before FLTK handles it; only the releases
  // that key repeat makes up are taken.
  auto* backend = static_cast<FltkBackend*>(self);
  if (backend->keys_.Observe(xevent)) return 1;
  if (const unsigned long mapped = MappedWindow(xevent)) {
    for (const auto& [hwnd, w] : backend->windows_) {
      if (w->shown() && fl_xid(w.get()) == mapped) {
        backend->FocusNewest();
        break;
      }
    }
  }
  return 0;
}

void FltkBackend::FocusNewest() {
  // Handles grow with every window the model makes: the newest window on
  // the screen is the modal one the user deals with now.
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (GiveInputFocus(it->second.get())) return;
  }
}

void FltkBackend::HandOverFocus(TopWindow* leaving) {
  if (!HoldsInputFocus(leaving)) return;  // the user is elsewhere
  auto owner = windows_.find(leaving->snapshot().owner);
  if (owner != windows_.end() && owner->second.get() != leaving &&
      GiveInputFocus(owner->second.get())) {
    return;
  }
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (it->second.get() != leaving && GiveInputFocus(it->second.get())) return;
  }
}

}  // namespace
}  // namespace fltk

std::unique_ptr<Backend> MakeFltkBackend() {
  return std::make_unique<fltk::FltkBackend>();
}

}  // namespace platform::ui
