// What the application object asks of the window model: its message loop,
// one message pumped, its icons from the registered resources, and the
// instance handle.
#include "platform/ui/framework/afxwin.h"
#include "platform/ui/model/backend.h"
#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0)) platform::ui::TranslateAndDispatch(&msg);
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  return platform::ui::FindIcon(static_cast<int>(nIDResource));
}

HINSTANCE AfxGetInstanceHandle() {
  static int instance;
  return reinterpret_cast<HINSTANCE>(&instance);
}

BOOL AfxPumpMessage() {
  // The program is closing (a signal): the thread's front window hears its
  // close box once, as a waiting modal loop would close it at once.
  thread_local bool t_closeSent = false;
  if (!t_closeSent && platform::ui::CloseAllRequested()) {
    t_closeSent = true;
    if (HWND front = platform::ui::FrontTopLevel()) {
      ::SendMessageA(front, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
  }
  MSG msg;
  if (!::GetMessageA(&msg, nullptr, 0, 0)) {
    // For the loop that ends on it.
    ::PostQuitMessage(static_cast<int>(msg.wParam));
    return FALSE;
  }
  platform::ui::TranslateAndDispatch(&msg);
  return TRUE;
}
