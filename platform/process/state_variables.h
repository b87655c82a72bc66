// The variables that name the folder where the dialog program keeps its
// state (the journal of writes), as its main read them from the
// environment (environment.h) and handed them here, once, before any
// thread starts. The program makes the folder from them with the bench
// library (backup/state_folder.h). Any thread.
#pragma once

#include <string>

namespace platform {

struct StateVariables {
  // XDG_STATE_HOME and HOME (Linux), LOCALAPPDATA (Windows); "" when unset.
  std::string xdgStateHome, home, localAppData;
};

void SetStateVariables(const StateVariables& variables);
StateVariables GetStateVariables();

}  // namespace platform
