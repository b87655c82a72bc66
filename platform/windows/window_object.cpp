// The framework's object of a window as a window property.
#include <atomic>

#include "platform/ui/model/windows.h"

namespace platform::ui {
namespace {

// The property's name; an atom would do as well, a string needs no set-up.
constexpr const char* kObjectProperty = "Corvane.CWnd";

std::atomic<DestroyHook> g_hook{nullptr};

}  // namespace

void* GetWindowObject(HWND hwnd) {
  return hwnd ? ::GetPropA(hwnd, kObjectProperty) : nullptr;
}

void SetWindowObject(HWND hwnd, void* object) {
  if (!hwnd) return;
  if (object) {
    ::SetPropA(hwnd, kObjectProperty, object);
  } else {
    ::RemovePropA(hwnd, kObjectProperty);
  }
}

void SetDestroyHook(DestroyHook hook) {
  g_hook.store(hook);
}

void NotifyWindowDestroyed(HWND hwnd) {
  void* object = GetWindowObject(hwnd);
  if (!object) return;
  ::RemovePropA(hwnd, kObjectProperty);
  if (DestroyHook hook = g_hook.load()) hook(hwnd, object);
}

}  // namespace platform::ui
