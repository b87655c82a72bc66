// Choosing the backend, and the headless backend. (Input from backends is
// in input.cpp.)
#include "platform/ui/model/backend.h"

#include <atomic>
#include <mutex>
#include <vector>

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

void Backend::RequestPaste(HWND edit, ClipboardKind which) {
  PostPaste(edit, ClipboardText(which));
}

bool Backend::ClipboardMayHoldText() {
  return !ClipboardText(ClipboardKind::kClipboard).empty();
}

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

}  // namespace platform::ui
