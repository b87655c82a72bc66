// The application object. Exactly one exists, the global theApp, made by
// static initialisation; the framework's entry point calls its InitInstance
// once, which runs the main dialog and returns FALSE, so the process ends
// when the dialog does.
#pragma once

#include "platform/afx.h"

class CTesterApp : public CWinApp {
 public:
  CTesterApp();
  ~CTesterApp() override;

  // Runs one CTesterDlg modally (the About box, then the main dialog) on
  // the calling thread and returns FALSE when it has ended.
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};

extern CTesterApp theApp;
