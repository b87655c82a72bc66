// Command targets and their message maps, worker threads, and the ASSERT
// failure.
#include "platform/afx/afxcore.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/posix/diagnostics.h"

namespace {

std::atomic<long> g_liveThreadObjects{0};
thread_local CWinThread* t_thread = nullptr;

DWORD ThreadEntry(LPVOID param) {
  CWinThread* thread = static_cast<CWinThread*>(param);
  t_thread = thread;
  thread->m_nThreadID = ::GetCurrentThreadId();
  unsigned code = thread->m_pfnThreadProc(thread->m_pThreadParams);
  AfxEndThread(code);
}

}  // namespace

// ---- Message maps -------------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, AfxSig_end, {.pfn = nullptr}}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage == nMessage && e->nCode == nCode && nID >= e->nID && nID <= e->nLastID) {
        return e;
      }
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
  if (!e || e->nSig != AfxSig_vv) return FALSE;
  (this->*(e->fn.pfn))();
  return TRUE;
}

// ---- Worker threads ---------------------------------------------------------------------

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

void AfxAssertFailed(const char* expression, const char* file, int line) {
  platform::Diagnose(std::string(file) + ":" + std::to_string(line) + ": ASSERT(" + expression +
                     ") failed");
  std::abort();
}

namespace platform::afx {

CWinThread* CurrentWorkerThread() {
  return t_thread;
}

long LiveWinThreadObjects() {
  return g_liveThreadObjects.load();
}

}  // namespace platform::afx
