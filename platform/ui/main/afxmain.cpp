// The entry point of programs written on the framework: takes the
// program's settings from its environment once, gives them to the
// services, and runs the one application object.
#include <errno.h>

#include <cstdio>
#include <string>

#include "platform/devices/devicemap.h"
#include "platform/posix/diagnostics.h"
#include "platform/process/environment.h"
#include "platform/process/state_variables.h"
#include "platform/process/stop_signals.h"
#include "platform/serial/serial_trace.h"
#include "platform/ui/framework/afxwin.h"
#include "platform/ui/main/programbackend.h"
#include "platform/ui/model/backend.h"
#include "platform/ui/model/scale.h"
#include "platform/ui/model/windows.h"

namespace platform::ui {

int AfxWinMain() {
  std::string error;
  if (!UseBackend(MakeProgramBackend(), &error)) {
    std::fprintf(stderr, "Cannot show the program's windows: %s\n", error.c_str());
    return 1;
  }
  CWinApp* app = AfxGetApp();
  if (!app) {
    std::fprintf(stderr, "No application object.\n");
    ShutdownBackend();
    return 1;
  }
  // InitInstance returning FALSE ends the program without a message loop.
  int code = app->InitInstance() ? app->Run() : app->ExitInstance();
  ShutdownBackend();
  return code;
}

}  // namespace platform::ui

namespace {

// The program's warnings: "corvane: <text>" on standard error.
void PrintDiagnostic(const std::string& text) {
  platform::WriteDiagnosticLine(program_invocation_short_name, text);
}

}  // namespace

int main(int, char**, char** envp) {
  // Before any thread starts: the services are configured from here on.
  platform::SetDiagnosticsHandler(&PrintDiagnostic);
  const platform::EnvironmentSettings settings = platform::ParseEnvironment(envp);
  platform::SetComOverrides(settings.comDevices);
  platform::ui::SetScaleSetting(settings.scale);
  platform::ApplyTraceSetting(settings.trace);
  platform::SetStateVariables({settings.xdgStateHome, settings.home, ""});
  // Before any thread exists (see StopSignals): the first SIGINT, SIGTERM
  // or SIGHUP closes the windows as their close boxes would, once the
  // command that runs has ended.
  platform::StopSignals signals("closing once the command that runs has ended",
                                [](int) { platform::ui::RequestCloseAll(); });
  return platform::ui::AfxWinMain();
}
