#include "app/JournalPath.h"

#include "backup/state_folder.h"
#include "platform/process/state_variables.h"

std::string ProgramJournalPath() {
  const platform::StateVariables v = platform::GetStateVariables();
  std::string folder = backup::StateFolder(v.xdgStateHome, v.home);
  if (folder.empty()) folder = backup::WindowsStateFolder(v.localAppData);
  return backup::JournalPathIn(folder);
}
