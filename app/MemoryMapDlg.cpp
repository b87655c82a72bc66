// The memory map's window, its command frame and Read all.
#include "app/MemoryMapDlg.h"

#include <cstdio>

#include "camera/Outcome.h"
#include "res/resource.h"

namespace {

// The engine's cell text: address high digit, low digit, page digit.
void CellText(int cell, char text[4]) {
  static const char kDigits[] = "0123456789ABCDEF";
  text[0] = kDigits[(cell >> 4) & 0xF];
  text[1] = kDigits[cell & 0xF];
  text[2] = cell >= 256 ? '1' : '0';
  text[3] = '\0';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string CellName(int cell) {
  char name[16];
  std::snprintf(name, sizeof name, "%d:%02X", (cell / 256) & 1, cell % 256);
  return name;
}

}  // namespace

CMemoryMapDlg::CMemoryMapDlg(CCommPort& port, int nPort, CWnd* pOwner)
    : CDialog(IDD_MEMORYMAP, pOwner), m_port(port), m_nPort(nPort), m_pOwner(pOwner) {
  for (int& c : m_codes) c = -1;
  CCodeGrid::RegisterCodeGridClass();
}

CMemoryMapDlg::~CMemoryMapDlg() {
  for (CCodeGrid& g : m_grid) g.Detach();
}

BEGIN_MESSAGE_MAP(CMemoryMapDlg, CDialog)
ON_BN_CLICKED(IDC_MAP_READ, &CMemoryMapDlg::OnReadAllClicked)
ON_BN_CLICKED(IDC_MAP_STOP, &CMemoryMapDlg::OnStopClicked)
ON_BN_CLICKED(IDC_MAP_SAVE, &CMemoryMapDlg::OnSaveClicked)
ON_BN_CLICKED(IDC_MAP_COMPARE, &CMemoryMapDlg::OnCompareClicked)
ON_BN_CLICKED(IDC_MAP_RESTORE, &CMemoryMapDlg::OnRestoreClicked)
ON_BN_CLICKED(IDC_MAP_UNDO, &CMemoryMapDlg::OnUndoClicked)
END_MESSAGE_MAP()

BOOL CMemoryMapDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_grid[0].Attach(::GetDlgItem(m_hWnd, IDC_MAP_PAGE0));
  m_grid[1].Attach(::GetDlgItem(m_hWnd, IDC_MAP_PAGE1));
  SendDlgItemMessageA(m_hWnd, IDC_MAP_PROGRESS, PBM_SETRANGE32, 0, kCells);
  if (m_nPort == 0) {
    SetStatus("No port is selected: nothing can be read.");
  } else {
    char text[64];
    std::snprintf(text, sizeof text, "COM%d: press Read all to read both pages.", m_nPort);
    SetStatus(text);
  }
  UpdateButtons();
  return TRUE;
}

void CMemoryMapDlg::SetStatus(const std::string& text) {
  SetDlgItemText(IDC_MAP_STATUS, text.c_str());
}

void CMemoryMapDlg::UpdateButtons() {
  int read = 0;
  for (int c : m_codes) read += c >= 0 ? 1 : 0;
  GetDlgItem(IDC_MAP_READ)->EnableWindow(!m_bRunning && m_nPort != 0);
  GetDlgItem(IDC_MAP_STOP)->EnableWindow(m_bRunning);
  const bool idle = !m_bRunning;
  GetDlgItem(IDC_MAP_SAVE)->EnableWindow(idle && read == kCells);
  GetDlgItem(IDC_MAP_COMPARE)->EnableWindow(idle && read == kCells);
  GetDlgItem(IDC_MAP_RESTORE)->EnableWindow(idle && m_nPort != 0 && CountDifferences() > 0);
  GetDlgItem(IDC_MAP_UNDO)->EnableWindow(idle && m_nPort != 0 && !m_restored.empty());
}

void CMemoryMapDlg::StoreCode(int cell, int code) {
  m_codes[cell] = code;
  m_grid[cell / 256].SetCode(cell % 256, code);
}

int CMemoryMapDlg::ReopenPort() {
  return m_port.OpenPort(m_pOwner, m_nPort, CCommPort::kLineBaud, CCommPort::kLineParity,
                         CCommPort::kLineDataBits, CCommPort::kLineStopBits,
                         CCommPort::kLineEventMask, CCommPort::kLineWriteBufferSize);
}

void CMemoryMapDlg::BeginCommand(int total) {
  m_bRunning = true;
  m_bStop = m_bCloseAfter = false;
  m_nTotal = total;
  m_start = std::chrono::steady_clock::now();
  // Cancel takes the focus from the button that started the command, so
  // that the keys (Escape, Space on Cancel) reach the map while it runs.
  GetDlgItem(IDC_MAP_STOP)->EnableWindow(TRUE);
  ::SetFocus(::GetDlgItem(m_hWnd, IDC_MAP_STOP));
  for (int id : {IDC_MAP_READ, IDC_MAP_SAVE, IDC_MAP_COMPARE, IDC_MAP_RESTORE, IDC_MAP_UNDO}) {
    GetDlgItem(id)->EnableWindow(FALSE);
  }
  SendDlgItemMessageA(m_hWnd, IDC_MAP_PROGRESS, PBM_SETRANGE32, 0, total);
  ShowProgress(0);
  m_port.StartMonitor();
}

void CMemoryMapDlg::EndCommand() {
  ReopenPort();
  m_bRunning = false;
  UpdateButtons();
  if (::GetFocus() == ::GetDlgItem(m_hWnd, IDC_MAP_STOP)) {
    ::SetFocus(::GetDlgItem(m_hWnd, m_nPort != 0 ? IDC_MAP_READ : IDC_MAP_PAGE0));
  }
  if (m_bCloseAfter) EndDialog(IDCANCEL);
}

BOOL CMemoryMapDlg::PumpWaiting() {
  MSG msg;
  while (!m_bStop && ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (!AfxPumpMessage()) m_bStop = m_bCloseAfter = true;
  }
  return m_bStop ? FALSE : TRUE;
}

void CMemoryMapDlg::ShowProgress(int done) {
  SendDlgItemMessageA(m_hWnd, IDC_MAP_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(done), 0);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  char text[96];
  if (done == 0) {
    std::snprintf(text, sizeof text, "%s: 0 of %d cells", m_pszVerb, m_nTotal);
  } else {
    const double left = elapsed / done * (m_nTotal - done);
    std::snprintf(text, sizeof text, "Reading: %d of %d cells, %.0f s left", done, m_nTotal, left);
  }
  SetStatus(text);
}

void CMemoryMapDlg::OnCancel() {
  if (m_bRunning) {
    m_bStop = m_bCloseAfter = true;
    return;
  }
  CDialog::OnCancel();
}

void CMemoryMapDlg::OnStopClicked() {
  m_bStop = true;
}

void CMemoryMapDlg::OnReadAllClicked() {
  if (m_nPort == 0 || m_bRunning) return;
  for (int cell = 0; cell < kCells; ++cell) StoreCode(cell, -1);
  m_pszVerb = "Reading";
  BeginCommand(kCells);
  bool session = m_port.BeginReadSession() != FALSE;
  int done = 0, failedAt = -1, sessionEnd = session ? -1 : 0;
  for (int cell = 0; cell < kCells; ++cell) {
    if (!PumpWaiting()) break;
    char text[4];
    CellText(cell, text);
    int code = -1;
    if (session) {
      const camera::SessionCode round = m_port.ReadSessionCode(text);
      code = round.code;
      if (!round.answered) {
        session = false;
        sessionEnd = cell;
      }
    }
    if (code < 0) {
      // One Read transaction; its failure shows the engine's error box.
      CString result = m_port.ReadCode(text);
      if (m_port.LastOutcome() == camera::Outcome::kTimeOut || result.GetLength() != 4) {
        failedAt = cell;
        break;
      }
      code = HexValue(result[2]) * 16 + HexValue(result[3]);
    }
    StoreCode(cell, code);
    ShowProgress(++done);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  char text[160];
  if (failedAt >= 0) {
    std::snprintf(text, sizeof text, "The camera did not answer at %s: %d of %d cells read.",
                  CellName(failedAt).c_str(), done, kCells);
  } else if (done < kCells) {
    std::snprintf(text, sizeof text, "Cancelled: %d of %d cells read.", done, kCells);
  } else {
    std::snprintf(text, sizeof text, "%d cells read in %.1f s.", done, seconds);
  }
  std::string status = text;
  if (sessionEnd >= 0 && done > sessionEnd) {
    status += " From " + CellName(sessionEnd) + " on, one Read transaction a cell.";
  }
  SetStatus(status);
  EndCommand();
}
