// The framework's window classes: windows, dialogs, controls, menus,
// device contexts, data exchange and the application object, on the
// framework without windows (platform/afx/afxcore.h: command targets,
// message maps, worker threads; platform/afx/afxstr.h: CString). Each
// window object is used on the thread that owns its window (SendMessage
// from other threads is the way in); the rectangle types are values.
//
// Message maps read as in the framework; handler arguments are member
// pointers:
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//     ON_WM_SYSCOMMAND()
//     ON_WM_PAINT()
//     ON_WM_QUERYDRAGICON()
//     ON_BN_CLICKED(IDC_READ, &CMyDlg::OnReadClicked)
//     ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
//   END_MESSAGE_MAP()
// A map is searched from the class's own entries down through its bases'
// maps on WM_COMMAND (by notification code and identifier), WM_SYSCOMMAND,
// WM_PAINT and WM_QUERYDRAGICON; every other message, and one with no
// entry, gets the default processing (DefWindowProc).
#pragma once

#include "platform/afx/afxcore.h"
#include "platform/afx/afxstr.h"
#include "platform/ui/model/user32.h"
#include "platform/win32/win32types.h"

class CMenu;
class CDataExchange;

// The command of a Help key or button.
#define ID_HELP 0xE146

#define ON_BN_CLICKED(id, memberFxn) \
  {WM_COMMAND,                       \
   BN_CLICKED,                       \
   static_cast<UINT>(id),            \
   static_cast<UINT>(id),            \
   AfxSig_vv,                        \
   {.pfn = static_cast<AFX_PMSG>(memberFxn)}},
#define ON_WM_SYSCOMMAND() \
  {WM_SYSCOMMAND,          \
   0,                      \
   0,                      \
   0,                      \
   AfxSig_vwl,             \
   {.pfn_vwl = static_cast<void (CWnd::*)(UINT, LPARAM)>(&ThisClass::OnSysCommand)}},
#define ON_WM_PAINT() \
  {WM_PAINT,  0,      \
   0,         0,      \
   AfxSig_vv, {.pfn = static_cast<AFX_PMSG>(static_cast<void (CWnd::*)()>(&ThisClass::OnPaint))}},
#define ON_WM_QUERYDRAGICON() \
  {WM_QUERYDRAGICON,          \
   0,                         \
   0,                         \
   0,                         \
   AfxSig_hv,                 \
   {.pfn_hv = static_cast<HCURSOR (CWnd::*)()>(&ThisClass::OnQueryDragIcon)}},

// ---- Rectangles and points -------------------------------------------------------------
class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}  // NOLINT: implicit as in the framework
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsRectEmpty() const { return Width() <= 0 || Height() <= 0; }
  POINT CenterPoint() const { return POINT{(left + right) / 2, (top + bottom) / 2}; }
  operator LPRECT() { return this; }             // NOLINT
  operator const RECT*() const { return this; }  // NOLINT
};

// ---- Device contexts ------------------------------------------------------------------
class CDC {
 public:
  HDC m_hDC = nullptr;
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }  // NOLINT
  BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
  BOOL DrawIcon(POINT point, HICON hIcon) { return ::DrawIcon(m_hDC, point.x, point.y, hIcon); }
};

// The device context of one WM_PAINT: BeginPaint in the constructor,
// EndPaint in the destructor.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC();
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  PAINTSTRUCT m_ps{};

 protected:
  HWND m_hWnd = nullptr;
};

// ---- Menus ----------------------------------------------------------------------------
class CMenu {
 public:
  HMENU m_hMenu = nullptr;
  // MF_STRING with an identifier and text, or MF_SEPARATOR.
  BOOL AppendMenuA(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCTSTR lpszNewItem = nullptr) {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
  }
  UINT GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
  HMENU GetSafeHmenu() const { return m_hMenu; }
  // A CMenu for the handle, kept by the framework until the process ends.
  static CMenu* FromHandle(HMENU hMenu);
};

// ---- Windows ----------------------------------------------------------------------------
class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }  // NOLINT

  // The object bound to hWnd, or a temporary one owned by the framework
  // (valid until the window is destroyed). Null for a null handle.
  static CWnd* FromHandle(HWND hWnd);
  static CWnd* FromHandlePermanent(HWND hWnd);
  // Binds this object to an existing window (messages for the window
  // reach this object through FromHandle); Detach unbinds it.
  BOOL Attach(HWND hWnd);
  HWND Detach();

  CWnd* GetDlgItem(int nID) const;
  // Copies at most nMaxCount - 1 characters of the control's text and a NUL.
  int GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const;
  int GetDlgItemText(int nID, CString& rString) const;
  void SetDlgItemText(int nID, LPCTSTR lpszString);
  void SetWindowTextA(LPCTSTR lpszString);
  int GetWindowTextA(LPSTR lpszString, int nMaxCount) const;
  void GetWindowTextA(CString& rString) const;
  int GetWindowTextLength() const;
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int nCmdShow);
  BOOL IsWindowVisible() const;
  CWnd* SetFocus();
  static CWnd* GetFocus();
  int GetDlgCtrlID() const;
  LRESULT SendMessageA(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessageA(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  CMenu* GetSystemMenu(BOOL bRevert) const;
  BOOL IsIconic() const;
  void GetClientRect(LPRECT lpRect) const;
  void GetWindowRect(LPRECT lpRect) const;
  HICON SetIcon(HICON hIcon, BOOL bBigIcon);
  HICON GetIcon(BOOL bBigIcon) const;
  int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = nullptr, UINT nType = MB_OK);
  virtual BOOL DestroyWindow();
  // Runs DoDataExchange: FALSE fills the controls, TRUE reads them.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  // The procedure of windows bound to framework objects.
  static LRESULT AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // The default processing of the message being handled now.
  LRESULT Default();
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();

  bool m_bTemporary = false;
  friend void AfxDetachDestroyed(HWND, void*);
  DECLARE_MESSAGE_MAP()
};

// ---- Dialogs -------------------------------------------------------------------------
class CDialog : public CWnd {
 public:
  CDialog() = default;
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

  // Creates the dialog from its template, hidden; runs OnInitDialog (with
  // the data exchange), gives the focus to the first tab stop when it
  // returns TRUE, shows the dialog, runs its modal loop until EndDialog,
  // destroys the window and gives EndDialog's result (-1: no template).
  // The parent (or else the application's main window) is disabled
  // meanwhile. On the calling thread.
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  void EndDialog(int nResult);

  UINT m_nIDHelp = 0;
  UINT m_nIDTemplate = 0;
  CWnd* m_pParentWnd = nullptr;

 protected:
  virtual void OnOK();
  virtual void OnCancel();
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  // DoModal's owner window: the parent's, or for a dialog without a parent
  // the application's main window (none for the main window itself).
  HWND ModalOwner() const;
  DECLARE_MESSAGE_MAP()
};

// ---- Controls ------------------------------------------------------------------------
class CEdit : public CWnd {
 public:
  // The most characters the user may type (0: the maximum).
  void LimitText(int nChars = 0) { SendMessageA(EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0); }
  void SetLimitText(UINT nMax) { LimitText(static_cast<int>(nMax)); }
  UINT GetLimitText() const { return static_cast<UINT>(SendMessageA(EM_GETLIMITTEXT, 0, 0)); }
  void SetSel(int nStartChar, int nEndChar) {
    SendMessageA(EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
  }
  BOOL SetReadOnly(BOOL bReadOnly = TRUE) {
    return static_cast<BOOL>(SendMessageA(EM_SETREADONLY, static_cast<WPARAM>(bReadOnly), 0));
  }
};

class CButton : public CWnd {
 public:
  // BST_UNCHECKED (0), BST_CHECKED (1) or BST_INDETERMINATE (2).
  void SetCheck(int nCheck) { SendMessageA(BM_SETCHECK, static_cast<WPARAM>(nCheck), 0); }
  int GetCheck() const { return static_cast<int>(SendMessageA(BM_GETCHECK, 0, 0)); }
};

class CStatic : public CWnd {};

// ---- Data exchange -------------------------------------------------------------------
class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
      : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  // The control nIDC of the dialog (null if there is none).
  HWND PrepareCtrl(int nIDC);
};

// Binds rControl to the dialog's control nIDC (once; later calls keep it).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// ---- The application ----------------------------------------------------------------------
// The calling thread's CWinThread (the application on the main thread).
CWinThread* AfxGetThread();

class CWinApp : public CWinThread {
 public:
  // The one application object; made by static initialisation.
  explicit CWinApp(LPCTSTR lpszAppName = nullptr);
  ~CWinApp() override;

  LPCTSTR m_pszAppName = nullptr;
  HINSTANCE m_hInstance = nullptr;

  // The icon resource nIDResource (two images, 32 x 32 and 16 x 16), or
  // null if there is none.
  HICON LoadIcon(UINT nIDResource) const;
  // Three-dimensional control drawing: nothing to do here; gives TRUE.
  BOOL Enable3dControlsStatic() { return TRUE; }
  BOOL Enable3dControls() { return TRUE; }
  afx_msg void OnHelp() {}
  // The message loop until WM_QUIT; then ExitInstance. On the calling
  // thread.
  virtual int Run();

  DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
// Takes the calling thread's next message (waiting for one) and handles it
// as a modal loop would (the dialog manager, then the window procedure);
// FALSE on WM_QUIT, which it posts again. A command that runs long pumps
// with it between its steps, while PeekMessageA(PM_NOREMOVE) finds one, so
// that its window repaints and its Cancel is heard. When the program is
// asked to close (a signal), the thread's front window gets its close box
// (WM_SYSCOMMAND SC_CLOSE) once.
BOOL AfxPumpMessage();
// A message box with the application's name as caption, no owner.
int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK);
HINSTANCE AfxGetInstanceHandle();

namespace platform::ui {
using platform::afx::LiveWinThreadObjects;
// The entry point's work: chooses the backend, calls the application's
// InitInstance once, runs its message loop only if that returned TRUE,
// stops the backend. Gives the process exit code (non-zero when the
// backend cannot start, for instance without a display).
int AfxWinMain();
}  // namespace platform::ui
