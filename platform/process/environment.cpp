#include "platform/process/environment.h"

#include <cstring>

#include "platform/devices/devicemap.h"

namespace platform {

EnvironmentSettings ParseEnvironment(const char* const* envp) {
  EnvironmentSettings settings;
  for (const char* const* p = envp; p != nullptr && *p != nullptr; ++p) {
    const char* entry = *p;
    const char* equals = std::strchr(entry, '=');
    if (equals == nullptr || equals[1] == '\0') continue;
    const std::string name(entry, equals);
    const char* value = equals + 1;
    if (name == "CORVANE_TRACE") {
      settings.trace = value;
    } else if (name == "CORVANE_SCALE") {
      settings.scale = value;
    } else if (name == "XDG_STATE_HOME") {
      settings.xdgStateHome = value;
    } else if (name == "HOME") {
      settings.home = value;
    } else if (name == "LOCALAPPDATA") {
      settings.localAppData = value;
    } else if (name.rfind("CORVANE_COM", 0) == 0) {
      // "CORVANE_COM3" -> "COM3", with ComNumber's rules for the number.
      if (const auto n = ComNumber(name.c_str() + 8)) {
        settings.comDevices[*n] = value;
      }
    }
  }
  return settings;
}

}  // namespace platform
