// The entry point of the Windows program: runs the one application object.
// Its settings are the system's (the COM names, the dialog font); it reads
// no environment.
#include "platform/ui/framework/afxwin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  // InitInstance returning FALSE ends the program without a message loop.
  return app->InitInstance() ? app->Run() : app->ExitInstance();
}
