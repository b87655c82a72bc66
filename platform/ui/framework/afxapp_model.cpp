// What the application object asks of the window model: its message loop,
// its icons from the registered resources, and the instance handle.
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
