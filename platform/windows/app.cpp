// What the application object asks of Windows: the thread's message loop,
// icons from the program's resource section, and the module's handle.
#include "platform/ui/framework/afxwin.h"

int CWinApp::Run() {
  MSG msg{};
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

// windows.h names the member LoadIconA, as it does the system call. The
// icons are the program's resource section's (res/corvane.rc.in), not the
// resource registry's, whose icon handles are the window model's.
HICON CWinApp::LoadIconA(UINT nIDResource) const {
  return ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIDResource));
}

HINSTANCE AfxGetInstanceHandle() {
  return ::GetModuleHandleA(nullptr);
}
