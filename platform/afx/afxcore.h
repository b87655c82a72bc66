// The dialog framework without windows (library corvane_afx): diagnostics
// macros, command targets with their message maps, and worker threads. The
// port engine links only this part of the framework; the windows, dialogs,
// controls and the application object are the window layer's
// (platform/ui/framework/afxwin.h, library corvane_ui), which builds on it.
//
// Message maps read as in the framework; handler arguments are member
// pointers. A map is searched from the class's own entries down through
// its bases' maps (see platform/ui/framework/afxwin.h for the window messages).
#pragma once

#include "platform/win32/threads.h"
#include "platform/win32/win32types.h"

#define afx_msg

// A worker thread's procedure (AfxBeginThread).
typedef unsigned (*AFX_THREADPROC)(LPVOID);

typedef char* LPTSTR;
#ifndef _T
#define _T(x) x
#endif
// Diagnostics: ASSERT checks in every build (a failure is a fault of the
// program: it is reported on standard error and the process aborts);
// VERIFY always evaluates its argument; TRACE writes nothing.
[[noreturn]] void AfxAssertFailed(const char* expression, const char* file, int line);
#define ASSERT(f) (static_cast<void>((f) ? 0 : (AfxAssertFailed(#f, __FILE__, __LINE__), 0)))
#define VERIFY(f) ASSERT(f)
#define TRACE(...) static_cast<void>(0)

class CCmdTarget;
class CWnd;  // the window layer's; named here only by its member pointers

typedef void (CCmdTarget::*AFX_PMSG)();

enum AfxSig : UINT {
  AfxSig_end = 0,
  AfxSig_vv,   // void ()
  AfxSig_vwl,  // void (UINT, LPARAM)
  AfxSig_hv,   // HCURSOR ()
};

union AFX_PMSG_ANY {
  AFX_PMSG pfn;
  void (CWnd::*pfn_vwl)(UINT, LPARAM);
  HCURSOR (CWnd::*pfn_hv)();
};

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  UINT nLastID;
  UINT nSig;
  AFX_PMSG_ANY fn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                       \
 protected:                                         \
  static const AFX_MSGMAP* GetThisMessageMap();     \
  const AFX_MSGMAP* GetMessageMap() const override; \
                                                    \
 protected:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)        \
  const AFX_MSGMAP* theClass::GetMessageMap() const { \
    return GetThisMessageMap();                       \
  }                                                   \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
    using ThisClass [[maybe_unused]] = theClass;      \
    using TheBaseClass = baseClass;                   \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                       \
  {                                                                                             \
    0, 0, 0, 0, AfxSig_end, {                                                                   \
      .pfn = nullptr                                                                            \
    }                                                                                           \
  }                                                                                             \
  }                                                                                             \
  ;                                                                                             \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                           \
  }

#define ON_COMMAND(id, memberFxn) \
  {WM_COMMAND,                    \
   0,                             \
   static_cast<UINT>(id),         \
   static_cast<UINT>(id),         \
   AfxSig_vv,                     \
   {.pfn = static_cast<AFX_PMSG>(memberFxn)}},

// ---- Command targets ----------------------------------------------------------------
class CCmdTarget {
 public:
  CCmdTarget() = default;
  virtual ~CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;

  virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }
  // Runs the handler of WM_COMMAND (nID, nCode) from the map chain; FALSE
  // if there is none.
  virtual BOOL OnCmdMsg(UINT nID, int nCode);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
};

// ---- Worker threads ---------------------------------------------------------------------
// A thread of the framework. Worker threads (AfxBeginThread) run their
// procedure; the application object (CWinApp, window layer) adds the
// message loop.
class CWinThread : public CCmdTarget {
 public:
  CWinThread();
  CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
  ~CWinThread() override;

  HANDLE m_hThread = nullptr;  // no thread handle is kept
  DWORD m_nThreadID = 0;       // set by the thread itself as it starts
  BOOL m_bAutoDelete = TRUE;
  CWnd* m_pMainWnd = nullptr;
  AFX_THREADPROC m_pfnThreadProc = nullptr;
  LPVOID m_pThreadParams = nullptr;

  virtual BOOL InitInstance() { return FALSE; }
  virtual int ExitInstance() { return 0; }
};

// Makes a CWinThread and starts pfnThreadProc(pParam) on a new thread at
// once (suspended starts and priorities are not supported: nPriority must
// be THREAD_PRIORITY_NORMAL, dwCreateFlags 0). Gives the thread object, or
// NULL if the thread could not be started. The object deletes itself when
// the thread ends (by returning or through AfxEndThread), so the caller
// must not use it after that.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
// Ends the calling thread with nExitCode; first deletes the calling thread's
// CWinThread (when bDelete and its m_bAutoDelete). Objects on the thread's
// stack are not destroyed. Only for threads started by AfxBeginThread.
[[noreturn]] void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);

namespace platform::afx {
// The calling thread's CWinThread when AfxBeginThread started the thread,
// else null.
CWinThread* CurrentWorkerThread();
// Number of CWinThread objects alive (for tests of the thread end).
long LiveWinThreadObjects();
}  // namespace platform::afx
