// The framework's object of a window, on the real user32: kept as a window
// property, so any thread of the process may look it up. The destroy hook
// is called by the framework's dialog procedure (platform/windows/dialog.cpp)
// for the dialog and each of its children as the dialog is destroyed.
#pragma once

#include <windows.h>

namespace platform::ui {

void* GetWindowObject(HWND hwnd);
// Null removes the binding.
void SetWindowObject(HWND hwnd, void* object);

using DestroyHook = void (*)(HWND hwnd, void* object);
// Set once, by the framework, before any window exists.
void SetDestroyHook(DestroyHook hook);
// Runs the hook for hwnd's object, if it has one, and unbinds it. On the
// thread that owns hwnd.
void NotifyWindowDestroyed(HWND hwnd);

}  // namespace platform::ui
