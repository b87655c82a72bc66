// The entry point of the Windows program: runs the one application object.
// Its settings are the system's (the COM names, the dialog font); the one
// variable it reads is LOCALAPPDATA, the folder of the per-user state (the
// journal of writes), handed to the program here as the Linux main hands
// XDG_STATE_HOME and HOME.
#include <vector>

#include "platform/process/state_variables.h"
#include "platform/ui/framework/afxwin.h"
#include "platform/win32/win32types.h"  // <windows.h>, <commctrl.h>

namespace {

// The variable's value, "" when it is unset.
std::string Variable(const char* name) {
  const DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) return {};
  std::vector<char> value(size);
  const DWORD n = ::GetEnvironmentVariableA(name, value.data(), size);
  return n > 0 && n < size ? std::string(value.data(), n) : std::string();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::StateVariables variables;
  variables.localAppData = Variable("LOCALAPPDATA");
  platform::SetStateVariables(variables);
  // The common controls' window classes (the memory map's progress bar)
  // are registered before any dialog is made.
  ::InitCommonControls();
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  // InitInstance returning FALSE ends the program without a message loop.
  return app->InitInstance() ? app->Run() : app->ExitInstance();
}
