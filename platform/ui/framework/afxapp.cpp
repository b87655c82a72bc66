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
