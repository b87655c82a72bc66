// The main dialog (template IDD_TESTER): the technician picks a serial port,
// names a cell by page and address, reads its code beside the code of the
// reference cell (page 0, address F8), and writes a new code.
//
// Start: OnInitDialog adds the About item to the system menu, sets the
// icons, shows the About box, then probes COM4..COM1; the lowest port that
// opened is selected (m_nPort) and opened once more. Between commands the
// selected port is open and no monitor thread runs; each Read or Write
// starts the monitor thread, runs one camera transaction (blocking this
// thread up to the transaction's waits) and re-opens the selected port,
// which ends the thread.
//
// Everything here runs on the thread that runs DoModal. The error boxes of a
// command run their own message loop on that thread, so a selection box can
// be clicked while one is open; the command then ends by opening the port
// that m_nPort names at that moment.
#pragma once

#include "platform/afx.h"
#include "port/CommPort.h"

class CTesterDlg : public CDialog {
 public:
  // Loads the icon IDI_TESTER with the application's LoadIcon.
  explicit CTesterDlg(CWnd* pParent = nullptr);
  // Members go in reverse order: m_port first (it ends a monitor thread).
  ~CTesterDlg() override;

  // Members in declaration order; DoDataExchange binds the controls.
  CEdit m_editPage;        // IDC_PAGE: page of the working cell, one digit
  CEdit m_editRefPage;     // IDC_REF_PAGE: "0"
  CEdit m_editNewCode;     // IDC_NEW_CODE: code to write, two hex digits
  CEdit m_editCode;        // IDC_CODE: working cell's code as last read
  CEdit m_editRefCode;     // IDC_REF_CODE: reference code as last read
  CEdit m_editAddress;     // IDC_ADDRESS: working cell's address, two hex digits
  CEdit m_editRefAddress;  // IDC_REF_ADDRESS: "F8"
  CButton m_btnWrite;      // IDC_WRITE
  CButton m_btnRead;       // IDC_READ
  CButton m_btnCom4;       // IDC_COM4
  CButton m_btnCom3;       // IDC_COM3
  CButton m_btnCom2;       // IDC_COM2
  CButton m_btnCom1;       // IDC_COM1
  HICON m_hIcon;           // IDI_TESTER, big and small icon of the window
  // The port last opened successfully from this dialog: 0 none, 1..4 COMn.
  // Set to 0 by OnInitDialog; never returns to 0 after a port opened.
  int m_nPort = 0;
  CCommPort m_port;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  // Returns TRUE: the focus goes to the first tab stop, Read.
  BOOL OnInitDialog() override;

  afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
  afx_msg void OnPaint();
  afx_msg HCURSOR OnQueryDragIcon();
  afx_msg void OnCom1Clicked();
  afx_msg void OnCom2Clicked();
  afx_msg void OnCom3Clicked();
  afx_msg void OnCom4Clicked();
  afx_msg void OnReadClicked();
  afx_msg void OnWriteClicked();

  DECLARE_MESSAGE_MAP()

 private:
  // OpenPort(this, port) with the camera's line (CCommPort::kLine...):
  // 9600, 'N', 8, 1, EV_RXCHAR, 512. Non-zero: open.
  int OpenSelected(int port);
  // The selection box of COMn (n 1..4).
  CButton& ComBox(int port);
  // A selection click: opens COMn; on success marks only its box (addressing
  // COM1..COM4 in order) and selects it. A failed open changes nothing.
  void SelectPort(int port);
  // The start of a command: disables Read, then Write, and starts the
  // monitor thread.
  void StartCommand();
  // Takes the first two characters of the address and the first of the page
  // and checks them in that order, stopping at the first failure (a
  // non-digit shows the digit check's box; a page of 2 or more shows
  // nothing). TRUE: cell holds address high, address low, page, NUL.
  BOOL TakeCell(char cell[4]);
  // Takes and checks the first two characters of the new code likewise.
  BOOL TakeNewCode(char code[3]);
  // The end of a command refused for its input: re-opens the selected port
  // (ending the monitor thread) and enables Read; Write stays disabled.
  void AbandonCommand();
};
