// The application object.
#include "platform/ui/framework/afxwin.h"

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

CWinApp* AfxGetApp() {
  return g_app;
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType) {
  const char* caption = g_app && g_app->m_pszAppName ? g_app->m_pszAppName : "Corvane";
  return ::MessageBoxA(nullptr, lpszText, caption, nType);
}
