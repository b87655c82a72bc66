// Apart from the journal's own header: this one's JournalFile (the path)
// and the journal's JournalFile (the class) cannot be seen together.
#include "app/JournalPath.h"

#include "backup/state_folder.h"
#include "platform/process/state_variables.h"

std::string ProgramJournalPath() {
  const platform::StateVariables v = platform::GetStateVariables();
  std::string folder = backup::StateFolder(v.xdgStateHome, v.home);
  if (folder.empty()) folder = backup::WindowsStateFolder(v.localAppData);
  return backup::JournalFile(folder);
}
