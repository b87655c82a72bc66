// The one application object. This file is compiled into the executable
// (and into the tests that run the whole program), not into a library: the
// object must exist in exactly the programs that run it.
#include "app/TesterApp.h"

#include "app/TesterDlg.h"
#include "res/Resources.h"

BEGIN_MESSAGE_MAP(CTesterApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CTesterApp::CTesterApp() : CWinApp(nullptr) {
  // The program's resources are part of it from the start, as a linked-in
  // resource section would be.
  corvane::RegisterCorvaneResources();
}

CTesterApp::~CTesterApp() = default;

BOOL CTesterApp::InitInstance() {
  Enable3dControlsStatic();
  {
    CTesterDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // The dialog is a local: the main-window pointer must not outlive it.
    m_pMainWnd = nullptr;
  }  // destroys the port object first, ending any monitor thread
  return FALSE;
}

CTesterApp theApp;
