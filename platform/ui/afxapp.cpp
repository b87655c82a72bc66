// Worker threads and the application object with its entry point.
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/ui/afxwin.h"
#include "platform/ui/backend.h"
#include "platform/ui/resources.h"
#include "platform/ui/windows.h"

namespace {

std::atomic<long> g_liveThreadObjects{0};
CWinApp* g_app = nullptr;
thread_local CWinThread* t_thread = nullptr;

DWORD ThreadEntry(LPVOID param) {
  CWinThread* thread = static_cast<CWinThread*>(param);
  t_thread = thread;
  thread->m_nThreadID = ::GetCurrentThreadId();
  unsigned code = thread->m_pfnThreadProc(thread->m_pThreadParams);
  AfxEndThread(code);
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinThread::CWinThread() {
  g_liveThreadObjects.fetch_add(1);
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {
  g_liveThreadObjects.fetch_add(1);
}

CWinThread::~CWinThread() {
  g_liveThreadObjects.fetch_sub(1);
}

int CWinThread::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0)) platform::ui::TranslateAndDispatch(&msg);
  ExitInstance();
  return static_cast<int>(msg.wParam);
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int, UINT, DWORD,
                           LPSECURITY_ATTRIBUTES) {
  if (!pfnThreadProc) return nullptr;
  auto* thread = new CWinThread(pfnThreadProc, pParam);
  if (!platform::StartThread(&ThreadEntry, thread)) {
    delete thread;
    return nullptr;
  }
  return thread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete) {
  CWinThread* thread = t_thread;
  t_thread = nullptr;
  if (thread && bDelete && thread->m_bAutoDelete) delete thread;
  platform::ExitThread(nExitCode);
}

CWinThread* AfxGetThread() {
  return t_thread ? t_thread : g_app;
}

CWinApp::CWinApp(LPCTSTR lpszAppName) : m_pszAppName(lpszAppName) {
  m_hInstance = AfxGetInstanceHandle();
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
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

void AfxAssertFailed(const char* expression, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: ASSERT(%s) failed\n", file, line, expression);
  std::abort();
}

HINSTANCE AfxGetInstanceHandle() {
  static int instance;
  return reinterpret_cast<HINSTANCE>(&instance);
}

namespace platform::ui {

long LiveWinThreadObjects() {
  return g_liveThreadObjects.load();
}

}  // namespace platform::ui
