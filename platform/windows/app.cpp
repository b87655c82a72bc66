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

BOOL AfxPumpMessage() {
  MSG msg{};
  if (::GetMessageA(&msg, nullptr, 0, 0) <= 0) {
    // For the loop that ends on it (the modal loop of the dialog whose
    // command pumps, then the program's).
    ::PostQuitMessage(static_cast<int>(msg.wParam));
    return FALSE;
  }
  // The command runs inside a dialog's modal loop: the dialog manager's
  // keys (Tab, Escape, Enter, the mnemonics) go to the dialog the message
  // is for, as that loop's IsDialogMessage would send them.
  HWND dialog = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (dialog && ::IsDialogMessageA(dialog, &msg)) return TRUE;
  ::TranslateMessage(&msg);
  ::DispatchMessageA(&msg);
  return TRUE;
}
