// Windows and their message maps, dialogs, menus, painting, data exchange,
// and CString's resources.
#include "platform/ui/framework/afxwin.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"

// ---- Message maps -------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

// ---- Handle maps ---------------------------------------------------------------------------
namespace {

// Framework objects made for handles that no object of the program is
// bound to (FromHandle). Freed when their window is destroyed.
struct TempMaps {
  std::mutex mu;
  std::map<HWND, std::unique_ptr<CWnd>> windows;
  std::map<HMENU, std::unique_ptr<CMenu>> menus;
};

TempMaps& T() {
  static TempMaps* t = new TempMaps;
  return *t;
}

// The message each thread is handling now, for CWnd::Default.
thread_local std::vector<MSG> t_current;

}  // namespace

void AfxDetachDestroyed(HWND hwnd, void* object) {
  CWnd* wnd = static_cast<CWnd*>(object);
  if (wnd->m_bTemporary) {
    std::unique_ptr<CWnd> owned;
    std::lock_guard<std::mutex> lock(T().mu);
    auto it = T().windows.find(hwnd);
    if (it != T().windows.end()) owned = std::move(it->second), T().windows.erase(it);
    return;
  }
  if (wnd->m_hWnd == hwnd) wnd->m_hWnd = nullptr;
}

namespace {
struct HookInstaller {
  HookInstaller() { platform::ui::SetDestroyHook(&AfxDetachDestroyed); }
} g_hookInstaller;
}  // namespace

CWnd::~CWnd() {
  if (m_hWnd && platform::ui::GetWindowObject(m_hWnd) == this) {
    platform::ui::SetWindowObject(m_hWnd, nullptr);
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (!hWnd) return nullptr;
  CWnd* wnd = static_cast<CWnd*>(platform::ui::GetWindowObject(hWnd));
  return wnd && !wnd->m_bTemporary ? wnd : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (!hWnd || !::IsWindow(hWnd)) return nullptr;
  if (CWnd* wnd = static_cast<CWnd*>(platform::ui::GetWindowObject(hWnd))) return wnd;
  std::lock_guard<std::mutex> lock(T().mu);
  auto& slot = T().windows[hWnd];
  if (!slot) {
    slot = std::make_unique<CWnd>();
    slot->m_hWnd = hWnd;
    slot->m_bTemporary = true;
    platform::ui::SetWindowObject(hWnd, slot.get());
  }
  return slot.get();
}

BOOL CWnd::Attach(HWND hWnd) {
  if (!hWnd || m_hWnd) return FALSE;
  std::unique_ptr<CWnd> temporary;
  {
    std::lock_guard<std::mutex> lock(T().mu);
    auto it = T().windows.find(hWnd);
    if (it != T().windows.end()) temporary = std::move(it->second), T().windows.erase(it);
  }
  m_hWnd = hWnd;
  platform::ui::SetWindowObject(hWnd, this);
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (h && platform::ui::GetWindowObject(h) == this) platform::ui::SetWindowObject(h, nullptr);
  m_hWnd = nullptr;
  return h;
}

CMenu* CMenu::FromHandle(HMENU hMenu) {
  if (!hMenu) return nullptr;
  std::lock_guard<std::mutex> lock(T().mu);
  auto& slot = T().menus[hMenu];
  if (!slot) {
    slot = std::make_unique<CMenu>();
    slot->m_hMenu = hMenu;
  }
  return slot.get();
}

// ---- CWnd ----------------------------------------------------------------------------------

LRESULT CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = static_cast<CWnd*>(platform::ui::GetWindowObject(hWnd));
  if (!wnd) return ::DefWindowProcA(hWnd, message, wParam, lParam);
  MSG current{};  // Win32's MSG has more members than these four
  current.hwnd = hWnd;
  current.message = message;
  current.wParam = wParam;
  current.lParam = lParam;
  t_current.push_back(current);
  LRESULT r = wnd->WindowProc(message, wParam, lParam);
  t_current.pop_back();
  return r;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    *pResult = 0;
    return TRUE;
  }
  if (message != WM_SYSCOMMAND && message != WM_PAINT && message != WM_QUERYDRAGICON) {
    return FALSE;
  }
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message, 0, 0);
  if (!e) return FALSE;
  *pResult = 0;
  switch (e->nSig) {
    case AfxSig_vv:
      (this->*(e->fn.pfn))();
      return TRUE;
    case AfxSig_vwl:
      (this->*(e->fn.pfn_vwl))(static_cast<UINT>(wParam), lParam);
      return TRUE;
    case AfxSig_hv:
      *pResult = reinterpret_cast<LRESULT>((this->*(e->fn.pfn_hv))());
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
  return OnCmdMsg(LOWORD(wParam), HIWORD(wParam));
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  if (t_current.empty()) return 0;
  const MSG& m = t_current.back();
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

void CWnd::OnSysCommand(UINT, LPARAM) {
  Default();
}
void CWnd::OnPaint() {
  Default();
}
HCURSOR CWnd::OnQueryDragIcon() {
  return reinterpret_cast<HCURSOR>(Default());
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

CWnd* CWnd::GetDlgItem(int nID) const {
  return FromHandle(::GetDlgItem(m_hWnd, nID));
}

int CWnd::GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const {
  return static_cast<int>(::GetDlgItemTextA(m_hWnd, nID, lpStr, nMaxCount));
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
  HWND h = ::GetDlgItem(m_hWnd, nID);
  int n = ::GetWindowTextLengthA(h);
  int got = ::GetWindowTextA(h, rString.GetBuffer(n), n + 1);
  rString.ReleaseBuffer(got);
  return got;
}

void CWnd::SetDlgItemText(int nID, LPCTSTR lpszString) {
  ::SetDlgItemTextA(m_hWnd, nID, lpszString);
}

void CWnd::SetWindowTextA(LPCTSTR lpszString) {
  ::SetWindowTextA(m_hWnd, lpszString);
}

int CWnd::GetWindowTextA(LPSTR lpszString, int nMaxCount) const {
  return ::GetWindowTextA(m_hWnd, lpszString, nMaxCount);
}

void CWnd::GetWindowTextA(CString& rString) const {
  int n = ::GetWindowTextLengthA(m_hWnd);
  int got = ::GetWindowTextA(m_hWnd, rString.GetBuffer(n), n + 1);
  rString.ReleaseBuffer(got);
}

int CWnd::GetWindowTextLength() const {
  return ::GetWindowTextLengthA(m_hWnd);
}
BOOL CWnd::EnableWindow(BOOL bEnable) {
  return ::EnableWindow(m_hWnd, bEnable);
}
BOOL CWnd::IsWindowEnabled() const {
  return ::IsWindowEnabled(m_hWnd);
}
BOOL CWnd::ShowWindow(int nCmdShow) {
  return ::ShowWindow(m_hWnd, nCmdShow);
}
BOOL CWnd::IsWindowVisible() const {
  return ::IsWindowVisible(m_hWnd);
}
CWnd* CWnd::SetFocus() {
  return FromHandle(::SetFocus(m_hWnd));
}
CWnd* CWnd::GetFocus() {
  return FromHandle(::GetFocus());
}
int CWnd::GetDlgCtrlID() const {
  return ::GetDlgCtrlID(m_hWnd);
}

LRESULT CWnd::SendMessageA(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessageA(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const {
  return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

BOOL CWnd::IsIconic() const {
  return ::IsIconic(m_hWnd);
}
void CWnd::GetClientRect(LPRECT lpRect) const {
  ::GetClientRect(m_hWnd, lpRect);
}
void CWnd::GetWindowRect(LPRECT lpRect) const {
  ::GetWindowRect(m_hWnd, lpRect);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
  return reinterpret_cast<HICON>(::SendMessageA(
      m_hWnd, WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
  return reinterpret_cast<HICON>(
      ::SendMessageA(m_hWnd, WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0));
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType) {
  return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

// ---- CDialog -------------------------------------------------------------------------------

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

HWND CDialog::ModalOwner() const {
  if (m_pParentWnd) return m_pParentWnd->m_hWnd;
  CWinApp* app = AfxGetApp();
  if (app && app->m_pMainWnd && app->m_pMainWnd != this) return app->m_pMainWnd->m_hWnd;
  return nullptr;
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_INITDIALOG) {
    *pResult = OnInitDialog();
    return TRUE;
  }
  return CWnd::OnWndMsg(message, wParam, lParam, pResult);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::EndDialog(int nResult) {
  ::EndDialog(m_hWnd, nResult);
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

// ---- Painting and data exchange --------------------------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) {
  m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}
CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
}

HWND CDataExchange::PrepareCtrl(int nIDC) {
  return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd) return;
  if (HWND h = pDX->PrepareCtrl(nIDC)) rControl.Attach(h);
}

// ---- CString's resources -------------------------------------------------------------------

BOOL CString::LoadString(UINT id) {
  std::string text;
  const bool found = platform::ui::FindString(id, &text);
  s_ = text;
  return found ? TRUE : FALSE;
}
