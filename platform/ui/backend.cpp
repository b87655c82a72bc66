// Choosing the backend, the headless backend, and input from backends.
#include "platform/ui/backend.h"

#include <atomic>
#include <vector>

#include "platform/ui/internal.h"
#include "platform/ui/user32.h"

namespace platform::ui {
namespace {

// No display: windows exist only in the model. The model keeps the state
// a driver reads (visibility, the open system menu), so nothing is kept here.
class HeadlessBackend final : public Backend {
 public:
  bool Start(std::string*) override { return true; }
  void Stop() override {}
  bool IsHeadless() const override { return true; }
  void ShowTopLevel(HWND) override {}
  void HideTopLevel(HWND) override {}
  void WindowChanged(HWND, HWND, unsigned) override {}
  void DestroyTopLevel(HWND) override {}
  void PopupSystemMenu(HWND, int, int) override {}
};

struct Holder {
  std::mutex mu;
  std::atomic<Backend*> current{nullptr};
  // Backends are never freed while the process runs: a thread may still be
  // inside a call to the previous one when another is chosen.
  std::vector<std::unique_ptr<Backend>> all;
};

Holder& H() {
  static Holder* h = new Holder;
  return *h;
}

Backend* InstallLocked(std::unique_ptr<Backend> b) {
  Backend* raw = b.get();
  H().all.push_back(std::move(b));
  H().current.store(raw, std::memory_order_release);
  return raw;
}

}  // namespace

std::unique_ptr<Backend> MakeHeadlessBackend() {
  return std::make_unique<HeadlessBackend>();
}

bool UseBackend(std::unique_ptr<Backend> backend, std::string* error) {
  if (!backend) {
    if (error) *error = "no backend";
    return false;
  }
  std::string why;
  if (!backend->Start(&why)) {
    if (error) *error = why;
    return false;
  }
  std::lock_guard<std::mutex> lock(H().mu);
  InstallLocked(std::move(backend));
  return true;
}

void UseHeadlessBackend() {
  Backend* b = CurrentBackend();
  if (!b->IsHeadless()) UseBackend(MakeHeadlessBackend(), nullptr);
}

Backend* CurrentBackend() {
  if (Backend* b = H().current.load(std::memory_order_acquire)) return b;
  std::lock_guard<std::mutex> lock(H().mu);
  if (Backend* b = H().current.load(std::memory_order_acquire)) return b;
  return InstallLocked(MakeHeadlessBackend());
}

void ShutdownBackend() {
  Backend* b = CurrentBackend();
  b->Stop();
  std::lock_guard<std::mutex> lock(H().mu);
  InstallLocked(MakeHeadlessBackend());
}

// ---- Input ------------------------------------------------------------------------

namespace {

using namespace detail;

bool PostToTop(HWND window, UINT msg, WPARAM w, LPARAM l) {
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = TopOf(Find(window));
  return t && PostLocked(t->hwnd, msg, w, l);
}

}  // namespace

bool PostClick(HWND window) {
  std::lock_guard<std::mutex> lock(M().mu);
  return PostLocked(window, kMsgInputClick, 0, 0);
}

bool PostRightClick(HWND top, int x, int y) {
  LPARAM pos = static_cast<LPARAM>((x & 0xFFFF) | ((y & 0xFFFF) << 16));
  return PostToTop(top, kMsgInputRightClick, 0, pos);
}

bool PostKey(HWND top, UINT vk, bool shift, bool alt) {
  LPARAM bits = 1 | kKeyToFocus | (shift ? kKeyShift : 0) | (alt ? kKeyAlt : 0);
  return PostToTop(top, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, bits);
}

bool PostChar(HWND top, char ch) {
  return PostToTop(top, WM_CHAR, static_cast<unsigned char>(ch), 1 | kKeyToFocus);
}

bool PostCloseBox(HWND top) {
  return PostToTop(top, kMsgInputSysCommand, SC_CLOSE, 0);
}

bool PostSystemMenuChoice(HWND top, UINT id) {
  return PostToTop(top, kMsgInputSysCommand, id, 1);
}

bool PostSystemMenuDismissed(HWND top) {
  // Only the model's record of the open menu changes: nothing to run on
  // the owning thread.
  std::lock_guard<std::mutex> lock(M().mu);
  Window* t = TopOf(Find(top));
  if (!t) return false;
  t->menuOpen = false;
  M().changed.notify_all();
  return true;
}

bool PostIconic(HWND top, bool iconic) {
  return PostToTop(top, kMsgInputIconic, iconic ? 1 : 0, 0);
}

bool PostPaint(HWND top) {
  return PostToTop(top, WM_PAINT, 0, 0);
}

}  // namespace platform::ui
