// CDialog::DoModal on the window model: the model's dialog manager creates
// the dialog from the registered template; the framework sends
// WM_INITDIALOG, shows the dialog and runs the model's modal loop.
#include "platform/ui/framework/afxwin.h"
#include "platform/ui/model/resources.h"
#include "platform/ui/model/windows.h"

INT_PTR CDialog::DoModal() {
  const platform::ui::DialogTemplate* t =
      platform::ui::FindDialogTemplate(static_cast<int>(m_nIDTemplate));
  if (!t || m_hWnd) return -1;
  const HWND owner = ModalOwner();
  bool reenable = owner && ::IsWindowEnabled(owner);
  if (reenable) ::EnableWindow(owner, FALSE);

  HWND h = platform::ui::CreateDialogFromTemplate(*t, owner, &CWnd::AfxWndProc, this);
  INT_PTR result = -1;
  if (h) {
    m_hWnd = h;
    LRESULT focusFirst = ::SendMessageA(h, WM_INITDIALOG, 0, 0);
    if (!platform::ui::IsDialogEnded(h) && !platform::ui::CloseAllRequested()) {
      if (focusFirst) platform::ui::FocusFirstTabStop(h);
      ::ShowWindow(h, SW_SHOW);
    }
    result = platform::ui::RunModalLoop(h);
    ::DestroyWindow(h);
    m_hWnd = nullptr;
  }
  if (reenable) ::EnableWindow(owner, TRUE);
  return result;
}
