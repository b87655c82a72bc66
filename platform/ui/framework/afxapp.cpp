// The application object.
#include "platform/ui/framework/afxwin.h"
#include "platform/ui/model/backend.h"
#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"

namespace {

CWinApp* g_app = nullptr;

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinThread* AfxGetThread() {
  CWinThread* worker = platform::afx::CurrentWorkerThread();
  return worker ? worker : g_app;
}

CWinApp::CWinApp(LPCTSTR lpszAppName) : m_pszAppName(lpszAppName) {
  m_hInstance = AfxGetInstanceHandle();
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0)) platform::ui::TranslateAndDispatch(&msg);
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  return platform::ui::FindIcon(static_cast<int>(nIDResource));
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

CWinApp* AfxGetApp() {
  return g_app;
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType) {
  const char* caption = g_app && g_app->m_pszAppName ? g_app->m_pszAppName : "Corvane";
  return ::MessageBoxA(nullptr, lpszText, caption, nType);
}

HINSTANCE AfxGetInstanceHandle() {
  static int instance;
  return reinterpret_cast<HINSTANCE>(&instance);
}
