// The About box (template IDD_ABOUT): the program's name and version, its
// authors, a contact line and the licence. Made with no parent and shown
// modally; its OK button (IDOK) ends it through the framework's OK handling,
// Escape and the close box through Cancel.
#pragma once

#include "platform/afx.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
  ~CAboutDlg() override;

 protected:
  // Exchanges nothing: the box has no members bound to its controls.
  void DoDataExchange(CDataExchange* pDX) override;

  DECLARE_MESSAGE_MAP()
};
