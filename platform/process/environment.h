// The settings a program takes from its environment. Only a program's main
// reads the environment: it passes its block here once, before it starts
// any thread, and hands the settings to the services that use them
// (devicemap.h: SetComOverrides; serial_trace.h: ApplyTraceSetting; the
// window layer's scale: platform/ui/model/scale.h; the state folder).
// Library code reads no environment variable of its own.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace platform {

struct EnvironmentSettings {
  // CORVANE_COMn (n from 1 to kMaxComNumber) that are set and not empty:
  // n -> device path.
  std::map<int, std::string> comDevices;
  // CORVANE_TRACE: a file, "-" for standard error, "" when unset or empty.
  std::string trace;
  // CORVANE_SCALE when set and not empty (checked where it is used).
  std::optional<std::string> scale;
  // The variables that name the folder where the programs keep their state
  // (the journal), "" when unset or empty: XDG_STATE_HOME and HOME on
  // Linux, LOCALAPPDATA on Windows. Made into the folder by the bench
  // library (backup/state_folder.h).
  std::string xdgStateHome, home, localAppData;
};

// The settings of an environment block ("NAME=value" texts up to a null
// pointer, as main's third argument or environ). Pure.
EnvironmentSettings ParseEnvironment(const char* const* envp);

}  // namespace platform
