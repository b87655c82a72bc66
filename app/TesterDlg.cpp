// The main dialog's construction, binding, start-up, port selection and
// window-level handlers. The Read and Write commands are in
// TesterCommands.cpp.
#include "app/TesterDlg.h"

#include "app/AboutDlg.h"
#include "app/MemoryMapDlg.h"
#include "platform/devices/port_listing.h"
#include "res/resource.h"

CTesterDlg::CTesterDlg(CWnd* pParent) : CDialog(IDD_TESTER, pParent) {
  m_hIcon = AfxGetApp()->LoadIcon(IDI_TESTER);
}

CTesterDlg::~CTesterDlg() = default;

void CTesterDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PAGE, m_editPage);
  DDX_Control(pDX, IDC_REF_PAGE, m_editRefPage);
  DDX_Control(pDX, IDC_NEW_CODE, m_editNewCode);
  DDX_Control(pDX, IDC_CODE, m_editCode);
  DDX_Control(pDX, IDC_REF_CODE, m_editRefCode);
  DDX_Control(pDX, IDC_ADDRESS, m_editAddress);
  DDX_Control(pDX, IDC_REF_ADDRESS, m_editRefAddress);
  DDX_Control(pDX, IDC_WRITE, m_btnWrite);
  DDX_Control(pDX, IDC_READ, m_btnRead);
  DDX_Control(pDX, IDC_COM4, m_btnCom4);
  DDX_Control(pDX, IDC_COM3, m_btnCom3);
  DDX_Control(pDX, IDC_COM2, m_btnCom2);
  DDX_Control(pDX, IDC_COM1, m_btnCom1);
}

BEGIN_MESSAGE_MAP(CTesterDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_COM1, &CTesterDlg::OnCom1Clicked)
ON_BN_CLICKED(IDC_COM2, &CTesterDlg::OnCom2Clicked)
ON_BN_CLICKED(IDC_COM3, &CTesterDlg::OnCom3Clicked)
ON_BN_CLICKED(IDC_COM4, &CTesterDlg::OnCom4Clicked)
ON_BN_CLICKED(IDC_READ, &CTesterDlg::OnReadClicked)
ON_BN_CLICKED(IDC_WRITE, &CTesterDlg::OnWriteClicked)
END_MESSAGE_MAP()

BOOL CTesterDlg::OnInitDialog() {
  CDialog::OnInitDialog();  // binds the controls

  // The About item at the end of the system menu.
  if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
    CString strAboutMenu;
    strAboutMenu.LoadString(IDS_ABOUT_MENU);
    if (!strAboutMenu.IsEmpty()) {
      pSysMenu->AppendMenu(MF_SEPARATOR);
      pSysMenu->AppendMenu(MF_STRING, IDM_ABOUT, strAboutMenu);
    }
    CString strMapMenu;
    strMapMenu.LoadString(IDS_MEMORYMAP_MENU);
    if (!strMapMenu.IsEmpty()) pSysMenu->AppendMenu(MF_STRING, IDM_MEMORYMAP, strMapMenu);
  }
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  // The About box comes first; nothing below runs before it is closed, and
  // the dialog itself is shown only after this function returns.
  {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
  }

  m_nPort = 0;
  for (int n = 1; n <= 4; ++n) ComBox(n).EnableWindow(FALSE);

  // Probe from COM4 down: the lowest port that opens ends up the only one
  // marked, and selected. A port that is there but does not open says why
  // on standard error; the window shows nothing of it.
  for (int n = 4; n >= 1; --n) {
    if (!OpenSelected(n)) {
      platform::ReportUnusablePort(n);
      continue;
    }
    ComBox(n).EnableWindow(TRUE);
    ComBox(n).SetCheck(BST_CHECKED);
    for (int higher = n + 1; higher <= 4; ++higher) ComBox(higher).SetCheck(BST_UNCHECKED);
    m_nPort = n;
  }
  // Each probe closed the port opened before it: open the selected one again.
  if (m_nPort != 0) OpenSelected(m_nPort);

  SetDlgItemText(IDC_REF_ADDRESS, "F8");
  SetDlgItemText(IDC_ADDRESS, "F7");
  SetDlgItemText(IDC_REF_PAGE, "0");
  SetDlgItemText(IDC_PAGE, "0");
  m_editAddress.LimitText(2);
  m_editNewCode.LimitText(2);
  m_editPage.LimitText(1);
  return TRUE;
}

int CTesterDlg::OpenSelected(int port) {
  return m_port.OpenPort(this, port, CCommPort::kLineBaud, CCommPort::kLineParity,
                         CCommPort::kLineDataBits, CCommPort::kLineStopBits,
                         CCommPort::kLineEventMask, CCommPort::kLineWriteBufferSize);
}

CButton& CTesterDlg::ComBox(int port) {
  switch (port) {
    case 1:
      return m_btnCom1;
    case 2:
      return m_btnCom2;
    case 3:
      return m_btnCom3;
    default:
      return m_btnCom4;
  }
}

void CTesterDlg::SelectPort(int port) {
  if (!OpenSelected(port)) return;
  for (int n = 1; n <= 4; ++n) ComBox(n).SetCheck(n == port ? BST_CHECKED : BST_UNCHECKED);
  m_nPort = port;
}

void CTesterDlg::OnCom1Clicked() {
  SelectPort(1);
}
void CTesterDlg::OnCom2Clicked() {
  SelectPort(2);
}
void CTesterDlg::OnCom3Clicked() {
  SelectPort(3);
}
void CTesterDlg::OnCom4Clicked() {
  SelectPort(4);
}

void CTesterDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) == IDM_ABOUT) {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
  } else if ((nID & 0xFFF0) == IDM_MEMORYMAP) {
    // On the port object and the port selected now; the map opens that
    // port again whenever it ends a command, as Read and Write do.
    CMemoryMapDlg dlgMap(m_port, m_nPort, this);
    dlgMap.DoModal();
  } else {
    CDialog::OnSysCommand(nID, lParam);
  }
}

// Minimised, the client area shows the icon centred; otherwise the dialog
// paints as usual.
void CTesterDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessageA(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  int cxIcon = GetSystemMetrics(SM_CXICON);
  int cyIcon = GetSystemMetrics(SM_CYICON);
  CRect rect;
  GetClientRect(&rect);
  int x = (rect.Width() - cxIcon + 1) / 2;
  int y = (rect.Height() - cyIcon + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CTesterDlg::OnQueryDragIcon() {
  return static_cast<HCURSOR>(m_hIcon);
}
