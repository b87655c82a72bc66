// A program on the framework, run through the entry point with the headless
// backend: the entry point calls InitInstance of the one application object
// once, and a FALSE result ends the process without a message loop. Its
// message box goes to standard error (no driver is attached).
#include <cstdio>

#include "platform/afx.h"

class CEntryApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    ++calls;
    Enable3dControlsStatic();
    MessageBoxA(NULL, "shown from InitInstance", "Entry", MB_OK);
    std::printf("InitInstance calls=%d\n", calls);
    return FALSE;
  }
  int ExitInstance() override { return calls == 1 ? 0 : 1; }
  int calls = 0;
};

CEntryApp theApp;
