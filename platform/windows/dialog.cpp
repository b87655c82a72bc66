// CDialog::DoModal on the real dialog manager: DialogBoxIndirectParamA
// creates the dialog from the template built from the registered data,
// sends WM_INITDIALOG, gives the focus, shows the dialog and runs the modal
// loop (with the owner disabled), and turns Escape and WM_CLOSE into
// IDCANCEL. The framework's dialog procedure passes the messages that
// message maps handle to the dialog's object and leaves every other message
// to the dialog manager.
#include "platform/ui/framework/afxwin.h"
#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"
#include "platform/windows/dlgtemplate.h"

namespace {

BOOL CALLBACK NotifyChildDestroyed(HWND child, LPARAM) {
  platform::ui::NotifyWindowDestroyed(child);
  return TRUE;
}

INT_PTR CALLBACK FrameworkDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* dialog = reinterpret_cast<CDialog*>(lParam);
      dialog->m_hWnd = hDlg;
      platform::ui::SetWindowObject(hDlg, dialog);
      // The value says whether the dialog manager gives the focus to the
      // first tab stop.
      return CWnd::AfxWndProc(hDlg, message, wParam, lParam);
    }
    case WM_QUERYDRAGICON:
      // One of the messages whose result a dialog procedure returns itself.
      if (!platform::ui::GetWindowObject(hDlg)) return FALSE;
      return CWnd::AfxWndProc(hDlg, message, wParam, lParam);
    case WM_COMMAND:
    case WM_SYSCOMMAND:
    case WM_PAINT: {
      if (!platform::ui::GetWindowObject(hDlg)) return FALSE;
      // A map without an entry gives the message DefWindowProc, which does
      // what the dialog manager would: WM_SYSCOMMAND's SC_CLOSE sends
      // WM_CLOSE, which comes back here and goes on to the dialog manager.
      const LRESULT result = CWnd::AfxWndProc(hDlg, message, wParam, lParam);
      ::SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_DESTROY:
      // The children go after their parent's WM_DESTROY: the controls'
      // objects are unbound now, while the handles are still theirs.
      ::EnumChildWindows(hDlg, &NotifyChildDestroyed, 0);
      return FALSE;
    case WM_NCDESTROY:
      platform::ui::NotifyWindowDestroyed(hDlg);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CDialog::DoModal() {
  const platform::ui::DialogTemplate* t =
      platform::ui::FindDialogTemplate(static_cast<int>(m_nIDTemplate));
  if (!t || m_hWnd) return -1;
  const HWND owner = ModalOwner();
  const std::vector<WORD> bytes = platform::windows::BuildDialogTemplate(*t);
  // The instance is where an icon control's icon resource is looked up.
  const INT_PTR result = ::DialogBoxIndirectParamA(
      AfxGetInstanceHandle(), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), owner,
      &FrameworkDialogProc, reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}
