#include "ui_fixture.h"

namespace uitest {

BEGIN_MESSAGE_MAP(AboutDlg, CDialog)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(TestDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_READ, &TestDlg::OnReadClicked)
ON_BN_CLICKED(IDC_COM1, &TestDlg::OnCom1Clicked)
ON_BN_CLICKED(IDC_COM2, &TestDlg::OnCom2Clicked)
END_MESSAGE_MAP()

}  // namespace uitest
