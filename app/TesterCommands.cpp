// The Read and Write commands. Each runs one camera transaction between
// StartMonitor and the OpenPort that ends the monitor thread; both buttons
// are disabled meanwhile, so a command never starts inside another, even
// while one of its error boxes runs its own message loop.
#include "app/TesterDlg.h"
#include "camera/HexCodec.h"
#include "camera/Outcome.h"
#include "res/resource.h"

using camera::kNotADigit;

void CTesterDlg::StartCommand() {
  m_btnRead.EnableWindow(FALSE);
  m_btnWrite.EnableWindow(FALSE);
  m_port.StartMonitor();
}

BOOL CTesterDlg::TakeCell(char cell[4]) {
  char address[3] = {};
  char page[2] = {};
  GetDlgItemText(IDC_ADDRESS, address, sizeof address);
  GetDlgItemText(IDC_PAGE, page, sizeof page);
  // A missing character is the NUL, which is no digit either. The digit
  // check shows its own box; a page of 2 to 9 fails without one.
  if (m_port.HexDigitValue(address[0]) == kNotADigit) return FALSE;
  if (m_port.HexDigitValue(address[1]) == kNotADigit) return FALSE;
  if (m_port.HexDigitValue(page[0]) >= 2) return FALSE;
  cell[0] = address[0];
  cell[1] = address[1];
  cell[2] = page[0];
  cell[3] = '\0';
  return TRUE;
}

BOOL CTesterDlg::TakeNewCode(char code[3]) {
  code[0] = code[1] = code[2] = '\0';
  GetDlgItemText(IDC_NEW_CODE, code, 3);
  if (m_port.HexDigitValue(code[0]) == kNotADigit) return FALSE;
  if (m_port.HexDigitValue(code[1]) == kNotADigit) return FALSE;
  return TRUE;
}

void CTesterDlg::AbandonCommand() {
  OpenSelected(m_nPort);
  m_btnRead.EnableWindow(TRUE);
}

void CTesterDlg::OnReadClicked() {
  if (m_nPort == 0) return;
  StartCommand();
  char cell[4];
  if (!TakeCell(cell)) {
    AbandonCommand();
    return;
  }
  // A copy: the port's result text changes with its next transaction.
  CString result = m_port.ReadCode(cell);
  SetDlgItemText(IDC_REF_CODE, result.Mid(0, 2));
  SetDlgItemText(IDC_CODE, result.Mid(2, 2));
  // m_nPort as it is now: a selection click during an error box counts.
  OpenSelected(m_nPort);
  // Write follows a Read whose result is not the failure text "XXXX".
  if (m_port.LastOutcome() != camera::Outcome::kTimeOut) m_btnWrite.EnableWindow(TRUE);
  m_btnRead.EnableWindow(TRUE);
}

void CTesterDlg::OnWriteClicked() {
  if (m_nPort == 0) return;
  StartCommand();
  char cell[4];
  char code[3];
  if (!TakeCell(cell) || !TakeNewCode(code)) {
    AbandonCommand();
    return;
  }
  CString result = m_port.WriteCode(cell, code);
  SetDlgItemText(IDC_CODE, result.Mid(0, 2));
  OpenSelected(m_nPort);
  // "XXXXF" and "FFFF" leave Write usable: the cell may have been written;
  // "XXXX" does not.
  m_btnWrite.EnableWindow(m_port.LastOutcome() == camera::Outcome::kTimeOut ? FALSE : TRUE);
  m_btnRead.EnableWindow(TRUE);
}
